// The control factory, Form1's constructor and destructor among it: registers
// the window's two classes, creates the window and one child window per row of
// the layout table (the kind of window each control becomes, its style, font
// and hint), starts the timer and fits the drop-down boxes to the layout's
// height and their lists to whole rows. Rectangles get no window: the scene
// paints them.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

#include "core/run_time_error.h"
#include "win32/bench_marks.h"
#include "win32/form/form1.h"
#include "win32/form/resource_ids.h"
#include "win32/wide_text.h"

namespace kavrel::win32 {

using layout::ControlId;
using layout::ControlIdOf;

namespace {

using layout::Kind;

constexpr wchar_t kFormClass[] = L"Kavrel.Form1";
constexpr wchar_t kItemClass[] = L"Kavrel.Item";  // labels and images, painted from the layout

// Lifts the text box's default limit: every character typed or pasted is kept
// and filtered.
constexpr WPARAM kNoTextLimit = 0x7FFFFFFE;
// The window icon's one image.
constexpr int kIconPixels = 32;
// The rows an open drop-down list shows at a time.
constexpr int kListRows = 15;
// What a drop-down box adds to the system font's height before its own font
// is set: the text field's padding and the frame (Wine).
constexpr int kComboPaddingAndFrame = 8;

// Which window each kind of control becomes.
struct WindowKind {
    Kind kind;
    const wchar_t* className;
    DWORD style;
    DWORD flatStyle;       // added for the flat look
    DWORD graphicalStyle;  // added for the graphical style
};
constexpr WindowKind kWindowKinds[] = {
    {Kind::CheckBox, L"BUTTON", BS_3STATE | WS_TABSTOP, BS_FLAT, 0},
    {Kind::TextBox, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_BORDER, 0},
    {Kind::PushButton, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, BS_OWNERDRAW},
    // The lists' height is given once, in whole rows (ComboCreationHeight): a
    // list that rounds itself to whole rows moves a second time whenever the
    // box moves it.
    {Kind::DropDownList, L"COMBOBOX", CBS_DROPDOWNLIST | CBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 0, 0},
    {Kind::DropDownBox, L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, 0,
     0},
    {Kind::Label, kItemClass, 0, 0, 0},
    {Kind::Image, kItemClass, 0, 0, 0},
};

const WindowKind* WindowKindOf(Kind kind) {
    const auto found = std::find_if(std::begin(kWindowKinds), std::end(kWindowKinds),
                                    [kind](const WindowKind& entry) { return entry.kind == kind; });
    return found == std::end(kWindowKinds) ? nullptr : found;
}

DWORD ControlStyle(const layout::Control& control, const WindowKind& kind) {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
    // Labels and images start hidden: Form1::Show shows them once the
    // window's own first paint has drawn them.
    if (kind.className != kItemClass) style |= WS_VISIBLE;
    if (control.settings & layout::setting::Flat) style |= kind.flatStyle;
    if (control.settings & layout::setting::Graphical) style |= kind.graphicalStyle;
    return style;
}

WNDCLASSEXW ClassDescription(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon, HICON smallIcon) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = procedure;
    description.hInstance = instance;
    description.hIcon = icon;
    description.hIconSm = smallIcon;
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.lpszClassName = name;
    return description;
}

// An open list's height: whole rows and its border.
int ListHeight(int rowHeight) { return kListRows * rowHeight + 2 * GetSystemMetrics(SM_CYBORDER); }

IconHandle LoadIconOfSize(HINSTANCE instance, int size) {
    return IconHandle(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(KAVREL_ICON_GROUP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace

Form1::Form1(HINSTANCE instance, int dpi, PageFetcher getCD, EndProgram endProgram, SystemCalls calls)
    : instance_(instance),
      dpi_(dpi),
      endProgram_(std::move(endProgram)),
      system_(std::move(calls)),
      gdi_(dpi),
      icon_(LoadIconOfSize(instance, kIconPixels)),
      smallIcon_(LoadIconOfSize(instance, GetSystemMetrics(SM_CXSMICON))),
      logo_(instance, KAVREL_LOGO),
      flow_(*this, std::move(getCD)),
      formClass_(ClassDescription(instance, kFormClass, FormProcedure, icon_.get(), smallIcon_.get())),
      itemClass_(ClassDescription(instance, kItemClass, ItemProcedure, nullptr, nullptr)) {
    if (!formClass_.Registered() || !itemClass_.Registered())
        throw RunTimeError(ErrorKind::SystemCallFailed, "cannot register the window's classes");
    bench::Mark("classes registered");

    const auto table = layout::FormControls();
    controls_.reserve(table.size());
    for (const auto& control : table) controls_.push_back({&control, layout::Pixels(control.twips, dpi_)});

    CreateFormWindow();
    bench::Mark("window created");
    CreateControls();
    bench::Mark("controls created");
    Form_Load();
}

Form1::~Form1() {
    // Closed by its owner (the program or a test), not by the user: no quit request.
    quitsWhenClosed_ = false;
    window_.reset();
}

void Form1::CreateFormWindow() {
    const auto& form = layout::FormWindow();
    const auto client = layout::Pixels(form.client, dpi_);
    constexpr DWORD style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    constexpr DWORD exStyle = WS_EX_APPWINDOW;  // a button in the taskbar
    RECT frame{client.left, client.top, client.right, client.bottom};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    CreateWindowExW(exStyle, kFormClass, Wide(form.caption).c_str(), style, frame.left, frame.top,
                    frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance_, this);
    if (!window_) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create the window");
}

void Form1::CreateControls() {
    for (const std::size_t index : layout::CreationOrder(layout::FormControls())) CreateControl(controls_[index]);
    lastFocus_ = Control(ControlId::optCountry1);
}

void Form1::CreateControl(ControlState& state) {
    const auto& control = *state.layout;
    const int windowId = layout::WindowIdOf(control.id);
    if (control.kind == Kind::Timer) {
        if (!system_.setTimer(Handle(), static_cast<UINT_PTR>(windowId), control.intervalMilliseconds, nullptr))
            throw RunTimeError(ErrorKind::SystemCallFailed, "cannot start " + std::string(control.name));
        return;
    }
    const WindowKind* kind = WindowKindOf(control.kind);
    if (!kind) return;  // rectangles are painted by the window

    const auto& rect = state.rect;
    const bool ownClass = kind->className == kItemClass;
    const int height = layout::IsDropDown(control.kind) ? ComboCreationHeight(control) : rect.Height();
    state.window =
        CreateWindowExW(0, kind->className, Wide(control.text).c_str(), ControlStyle(control, *kind), rect.left,
                        rect.top, rect.Width(), height, Handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(windowId)), instance_, ownClass ? this : nullptr);
    if (!state.window) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create " + std::string(control.name));

    const auto& font = control.font.value_or(layout::FormWindow().font);
    SendMessageW(state.window, WM_SETFONT, reinterpret_cast<WPARAM>(gdi_.Font(font)), FALSE);
    if (control.kind == Kind::TextBox) SendMessageW(state.window, EM_SETLIMITTEXT, kNoTextLimit, 0);
    if (control.kind == Kind::TextBox) Subclass(state.window, AmountBoxProcedure);
    if (layout::IsDropDown(control.kind)) {
        FitCombo(state);
        if (control.settings & layout::setting::Flat) Subclass(state.window, FlatComboProcedure);
        if (control.kind == Kind::DropDownBox) SetWindowTextW(state.window, Wide(control.text).c_str());
    }
}

// A plain window-procedure subclass: nothing beyond user32 is loaded before
// the first paint. Each control keeps the procedure it had, which may itself
// be another subclass.
void Form1::Subclass(HWND control, WNDPROC procedure) {
    const auto id = ControlIdOf(GetDlgCtrlID(control));
    if (!id) return;
    systemProcedures_[layout::IndexOf(*id)] =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

LRESULT Form1::CallSystemProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const auto* form = reinterpret_cast<const Form1*>(GetWindowLongPtrW(GetParent(window), GWLP_USERDATA));
    const auto id = ControlIdOf(GetDlgCtrlID(window));
    const WNDPROC system = form && id ? form->systemProcedures_[layout::IndexOf(*id)] : nullptr;
    return system ? CallWindowProcW(system, window, message, wparam, lparam)
                  : DefWindowProcW(window, message, wparam, lparam);
}

// A drop-down box keeps what its height at creation has beyond its closed
// height as its list's room. Before its font is set, the closed height
// follows the system font: its height plus the field's padding and the frame,
// a pixel less for a box whose text field is inset (Wine). Reckoned so, the
// list gets its room of whole rows with the box; where the reckoning misses,
// FitCombo gives it afterwards.
int Form1::ComboCreationHeight(const layout::Control& control) {
    const WindowDc screen(nullptr, GetDC(nullptr));
    TEXTMETRICW system{}, own{};
    GetTextMetricsW(screen.Get(), &system);
    {
        const Selection font(screen.Get(), gdi_.Font(control.font.value_or(layout::FormWindow().font)));
        GetTextMetricsW(screen.Get(), &own);
    }
    const int inset = control.kind == Kind::DropDownBox ? 1 : 0;
    return system.tmHeight + kComboPaddingAndFrame - inset + ListHeight(own.tmHeight);
}

// A drop-down box's closed height follows its font; the layout's height wins.
// The box is its text field's height plus a frame: the field is set to the
// layout's height less the frame the last box had, and only a box that misses
// is measured and set once more. Then the open list is checked for its room,
// whole rows of the box's font; a box made taller keeps the extra height for
// its list. Each of these steps moves the list, a window of its own, so each
// is done once at most.
void Form1::FitCombo(const ControlState& state) {
    const auto setFieldHeight = [&state](int height) {
        SendMessageW(state.window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
        RECT box{};
        GetWindowRect(state.window, &box);
        return static_cast<int>(box.bottom - box.top);
    };
    const int wanted = state.rect.Height();
    if (const int box = setFieldHeight(wanted - comboFrame_); box != wanted) {
        comboFrame_ = box - (wanted - comboFrame_);
        setFieldHeight(wanted - comboFrame_);
    }
    const int list = ListHeight(static_cast<int>(SendMessageW(state.window, CB_GETITEMHEIGHT, 0, 0)));
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    RECT room{};
    if (GetComboBoxInfo(state.window, &parts) && GetWindowRect(parts.hwndList, &room) && room.bottom - room.top == list)
        return;
    SetWindowPos(state.window, nullptr, 0, 0, state.rect.Width(), wanted + list,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The hint window is made when the mouse first moves over a control with a
// hint (the logo), not at start-up: it is a window of its own, from a library
// of its own. That first move is handed on to it, so the hint shows as if it
// had been there all along; later moves reach it through its own subclass.
void Form1::ShowHintOf(const ControlState& state, WPARAM keys, LPARAM point) {
    if (hints_) return;
    try {
        const INITCOMMONCONTROLSEX hintClasses{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        initCommonControlsEx_(&hintClasses);
    } catch (const RunTimeError&) {
        return;  // no hint library: the window works on without hints
    }
    hints_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                 instance_, nullptr));
    if (!hints_) return;
    std::wstring text = Wide(state.layout->hint);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(state.window);
    tool.lpszText = text.data();
    SendMessageW(hints_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    MSG move{state.window, WM_MOUSEMOVE, keys, point, static_cast<DWORD>(GetMessageTime()), {}};
    GetCursorPos(&move.pt);
    SendMessageW(hints_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

}  // namespace kavrel::win32
