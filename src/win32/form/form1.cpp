#include "win32/form/form1.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "core/run_time_error.h"
#include "input/amount_filter.h"
#include "input/catalogue.h"
#include "win32/form/message_loop.h"
#include "win32/ansi_text.h"
#include "win32/form/resource_ids.h"
#include "win32/form/wide_text.h"

#ifndef KAVREL_MAKER_SITE
#error "KAVREL_MAKER_SITE must name the maker's web site"
#endif

namespace kavrel::win32 {
namespace {

using layout::Kind;

constexpr wchar_t kFormClass[] = L"Kavrel.Form1";
constexpr wchar_t kItemClass[] = L"Kavrel.Item";  // labels and images, painted from the layout
constexpr char16_t kMakerSite[] = u"" KAVREL_MAKER_SITE;

// Lifts the text box's default limit: every character typed or pasted is kept
// and filtered.
constexpr WPARAM kNoTextLimit = 0x7FFFFFFE;
// The window icon's one image.
constexpr int kIconPixels = 32;
// A closed drop-down box is created this many times its height, the room of its open list.
constexpr int kListRoom = 10;

// Which window each kind of control becomes.
struct WindowKind {
    Kind kind;
    const wchar_t* className;
    DWORD style;
    DWORD flatStyle;        // added for the flat look
    DWORD graphicalStyle;   // added for the graphical style
};
constexpr WindowKind kWindowKinds[] = {
    {Kind::CheckBox, L"BUTTON", BS_3STATE | WS_TABSTOP, BS_FLAT, 0},
    {Kind::TextBox, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_BORDER, 0},
    {Kind::PushButton, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, BS_OWNERDRAW},
    {Kind::DropDownList, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 0},
    {Kind::DropDownBox, L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, 0},
    {Kind::Label, kItemClass, 0, 0, 0},
    {Kind::Image, kItemClass, 0, 0, 0},
};

const WindowKind* WindowKindOf(Kind kind) {
    const auto found = std::find_if(std::begin(kWindowKinds), std::end(kWindowKinds),
                                    [kind](const WindowKind& entry) { return entry.kind == kind; });
    return found == std::end(kWindowKinds) ? nullptr : found;
}

bool IsComboBox(Kind kind) { return kind == Kind::DropDownList || kind == Kind::DropDownBox; }

DWORD ControlStyle(const layout::Control& control, const WindowKind& kind) {
    DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind.style;
    if (control.settings & layout::setting::Flat) style |= kind.flatStyle;
    if (control.settings & layout::setting::Graphical) style |= kind.graphicalStyle;
    return style;
}

void AppendEntry(HWND box, std::u16string_view entry) {
    const std::wstring text = Wide(entry);
    const LRESULT result = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (result == CB_ERR || result == CB_ERRSPACE)
        throw RunTimeError(ErrorKind::SystemCallFailed, "a currency box took no further entry");
}

void SelectPosition(HWND box, std::size_t position) {
    if (SendMessageW(box, CB_SETCURSEL, position, 0) == CB_ERR)
        throw RunTimeError(ErrorKind::IndexOutOfRange, "no such position in a currency box");
}

// The button codes of a mouse-down event: 1 left, 2 right, 4 middle.
int ButtonCode(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN: return 1;
        case WM_RBUTTONDOWN: return 2;
        default: return 4;
    }
}

// The shift state of a mouse event: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftState(WPARAM keys) {
    return ((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

WNDCLASSEXW ClassDescription(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HICON icon,
                             HICON smallIcon) {
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

IconHandle LoadIconOfSize(HINSTANCE instance, int size) {
    return IconHandle(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(KAVREL_ICON_GROUP), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace

Form1::Form1(HINSTANCE instance, int dpi, PageFetcher getCD, EndProgram endProgram)
    : instance_(instance),
      dpi_(dpi),
      endProgram_(std::move(endProgram)),
      gdi_(dpi),
      icon_(LoadIconOfSize(instance, kIconPixels)),
      smallIcon_(LoadIconOfSize(instance, GetSystemMetrics(SM_CXSMICON))),
      logo_(instance, KAVREL_LOGO),
      flow_(*this, std::move(getCD)),
      formClass_(ClassDescription(instance, kFormClass, FormProcedure, icon_.get(), smallIcon_.get())),
      itemClass_(ClassDescription(instance, kItemClass, ItemProcedure, nullptr, nullptr)) {
    if (!formClass_.Registered() || !itemClass_.Registered())
        throw RunTimeError(ErrorKind::SystemCallFailed, "cannot register the window's classes");
    const INITCOMMONCONTROLSEX hintClasses{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&hintClasses);

    const auto table = layout::FormControls();
    controls_.reserve(table.size());
    for (const auto& control : table) controls_.push_back({&control, layout::Pixels(control.twips, dpi_)});

    CreateFormWindow();
    CreateControls();
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
    for (const std::size_t index : layout::CreationOrder(layout::FormControls()))
        CreateControl(controls_[index], kFirstControlId + static_cast<int>(index));
    lastFocus_ = Control("optCountry1");
}

void Form1::CreateControl(ControlState& state, int id) {
    const auto& control = *state.layout;
    if (control.kind == Kind::Timer) {
        if (!SetTimer(Handle(), id, control.intervalMilliseconds, nullptr))
            throw RunTimeError(ErrorKind::SystemCallFailed, "cannot start " + std::string(control.name));
        return;
    }
    const WindowKind* kind = WindowKindOf(control.kind);
    if (!kind) return;  // rectangles are painted by the window

    const auto& rect = state.rect;
    const int height = IsComboBox(control.kind) ? rect.height() * kListRoom : rect.height();
    const bool ownClass = kind->className == kItemClass;
    state.window = CreateWindowExW(0, kind->className, Wide(control.text).c_str(), ControlStyle(control, *kind),
                                   rect.left, rect.top, rect.width(), height, Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                                   ownClass ? this : nullptr);
    if (!state.window) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create " + std::string(control.name));

    const auto& font = control.font.value_or(layout::FormWindow().font);
    SendMessageW(state.window, WM_SETFONT, reinterpret_cast<WPARAM>(gdi_.Font(font)), FALSE);
    if (control.kind == Kind::TextBox) SendMessageW(state.window, EM_SETLIMITTEXT, kNoTextLimit, 0);
    if (IsComboBox(control.kind)) {
        FitComboHeight(state);
        if (control.settings & layout::setting::Flat)
            SetWindowSubclass(state.window, FlatComboProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
        if (control.kind == Kind::DropDownBox) SetWindowTextW(state.window, Wide(control.text).c_str());
    }
    if (!control.hint.empty()) AddHint(state);
}

// A drop-down box's closed height follows its font; the layout's height wins.
// The box is its text field's height plus a frame, so that frame is measured
// first, with the field set to the height it reports.
void Form1::FitComboHeight(const ControlState& state) {
    const auto setFieldHeight = [&state](LRESULT height) {
        SendMessageW(state.window, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
        RECT box{};
        GetWindowRect(state.window, &box);
        return box.bottom - box.top;
    };
    const auto field = SendMessageW(state.window, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    const auto frame = setFieldHeight(field) - field;
    setFieldHeight(state.rect.height() - frame);
}

void Form1::AddHint(const ControlState& state) {
    if (!hints_) {
        hints_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                     instance_, nullptr));
        if (!hints_) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create the hint window");
    }
    std::wstring text = Wide(state.layout->hint);
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(state.window);
    tool.lpszText = text.data();
    SendMessageW(hints_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Form1::Show(int how) {
    // From now on the window is the program: closing it ends the program.
    quitsWhenClosed_ = true;
    ShowWindow(Handle(), how);
    UpdateWindow(Handle());
    if (GetActiveWindow() == Handle()) RestoreFocus();
}

HWND Form1::Control(std::string_view name) const { return State(name).window; }

ControlState& Form1::State(std::string_view name) { return controls_[layout::FormControlIndex(name)]; }

const ControlState& Form1::State(std::string_view name) const { return controls_[layout::FormControlIndex(name)]; }

// The control a window belongs to: the control itself, or the drop-down box
// whose text field or list it is.
ControlState* Form1::StateOf(HWND window) {
    if (!window) return nullptr;
    for (auto& state : controls_) {
        if (!state.window) continue;
        if (state.window == window || GetParent(window) == state.window) return &state;
        if (IsComboBox(state.layout->kind)) {
            COMBOBOXINFO parts{};
            parts.cbSize = sizeof parts;
            if (GetComboBoxInfo(state.window, &parts) && parts.hwndList == window) return &state;
        }
    }
    return nullptr;
}

// A label or image window, found by its identifier.
ControlState* Form1::ItemOf(HWND window) {
    const auto index = static_cast<std::size_t>(GetDlgCtrlID(window) - kFirstControlId);
    if (index >= controls_.size() || controls_[index].window != window) return nullptr;
    return &controls_[index];
}

Scene Form1::CurrentScene() { return Scene{controls_, gdi_, logo_, layout::FormWindow()}; }

// ---- Start-up -------------------------------------------------------------

void Form1::FillBox(HWND box) {
    for (const auto entry : CurrencyCatalogue) AppendEntry(box, entry);
}

void Form1::Form_Load() {
    try {
        auto& image = State("Image1");
        image.icon = reinterpret_cast<HICON>(GetClassLongPtrW(Handle(), GCLP_HICON));
        InvalidateRect(image.window, nullptr, FALSE);
        FillBox(Control("optCountry1"));
        SelectPosition(Control("optCountry1"), kDefaultFromPosition);
        FillBox(Control("optCountry2"));
        SelectPosition(Control("optCountry2"), kDefaultToPosition);
    } catch (const RunTimeError&) {
        // Start-up skips its remaining steps; the window is shown all the same.
    }
}

// ---- Amount filter --------------------------------------------------------

void Form1::txtAm_Change() { onlyNumber(AmountText()); }

void Form1::onlyNumber(std::u16string text) {
    const HWND box = Control("txtAm");
    // Unchanged text raises no change event, so the nested pass ends here.
    SetWindowTextIfChanged(box, onlyDigits(text));
    const auto length = static_cast<WPARAM>(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0));
    SendMessageW(box, EM_SETSEL, length, static_cast<LPARAM>(length));
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

// ---- Window chrome --------------------------------------------------------

void Form1::DragWindow(int button) {
    if (button != 1) return;
    releaseCapture_();
    // The system takes the press for one on a title bar and moves the window
    // until the button is released; the call returns then.
    sendMessageA_(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void Form1::Label3_MouseDown(int button, int, int, int) { DragWindow(button); }

void Form1::Label9_MouseDown(int button, int, int, int) { DragWindow(button); }

void Form1::Label4_Click() { endProgram_(); }

void Form1::Image2_Click() {
    // Whether a browser opened is not asked: a failure shows nothing.
    ShellOpen(kMakerSite, std::nullopt, SW_SHOWMAXIMIZED);
}

std::int32_t Form1::ShellOpen(const std::u16string& document, const std::optional<std::u16string>& parameters,
                              std::int32_t show) {
    const std::string ansiDocument = Ansi(document);
    const std::optional<std::string> ansiParameters =
        parameters ? std::optional<std::string>(Ansi(*parameters)) : std::nullopt;
    const HINSTANCE result = shellExecuteA_(nullptr, nullptr, ansiDocument.c_str(),
                                            ansiParameters ? ansiParameters->c_str() : nullptr, nullptr, show);
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
}

// ---- View operations of the conversion flow -------------------------------

std::u16string Form1::FromText() { return WindowText(Control("optCountry1")); }

std::u16string Form1::ToText() { return WindowText(Control("optCountry2")); }

std::u16string Form1::AmountText() { return WindowText(Control("txtAm")); }

void Form1::SetAmountText(const std::u16string& digits) { SetWindowTextIfChanged(Control("txtAm"), digits); }

void Form1::SetStatusText(const std::u16string& status) { SetWindowTextIfChanged(Control("lblC"), status); }

void Form1::SetResultText(const std::u16string& result) { SetWindowTextIfChanged(Control("Label1"), result); }

void Form1::SetConvertEnabled(bool enabled) { EnableWindow(Control("Command1"), enabled ? TRUE : FALSE); }

void Form1::SetMousePointer(MousePointer pointer) {
    busy_ = pointer == MousePointer::Hourglass;
    RefreshCursor();
}

void Form1::ProcessPendingEvents() { ProcessPendingMessages(Handle()); }

int Form1::AutoRetrieveBoxValue() {
    return static_cast<int>(SendMessageW(Control("Check1"), BM_GETCHECK, 0, 0));
}

// The pointer changes at once, not only when the mouse next moves.
void Form1::RefreshCursor() {
    POINT point{};
    if (!GetCursorPos(&point)) return;
    const HWND under = WindowFromPoint(point);
    if (!under || (under != Handle() && !IsChild(Handle(), under))) return;
    const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
}

void Form1::RestoreFocus() {
    if (lastFocus_ && IsWindow(lastFocus_)) SetFocus(lastFocus_);
}

// ---- Messages -------------------------------------------------------------

LRESULT CALLBACK Form1::FormProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->window_.reset(window);
    }
    if (!form) return DefWindowProcW(window, message, wparam, lparam);
    try {
        return form->OnFormMessage(message, wparam, lparam);
    } catch (const std::exception&) {
        // An error that no handler traps ends the program; it must not unwind
        // through the system's message dispatching.
        form->endProgram_();
        return 0;
    }
}

LRESULT CALLBACK Form1::ItemProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    ControlState* item = form ? form->ItemOf(window) : nullptr;
    if (!item) return DefWindowProcW(window, message, wparam, lparam);
    try {
        return form->OnItemMessage(*item, message, wparam, lparam);
    } catch (const std::exception&) {
        form->endProgram_();  // as in the window's own procedure
        return 0;
    }
}

LRESULT CALLBACK Form1::FlatComboProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                           DWORD_PTR form) {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, FlatComboProcedure, 0);
    const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
    if (message == WM_PAINT) reinterpret_cast<Form1*>(form)->PaintFlatFrame(window);
    return result;
}

LRESULT Form1::OnFormMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    const HWND window = Handle();
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the scene paints every pixel
        case WM_PAINT: {
            const PaintScope paint(window);
            PaintScene(CurrentScene(), paint.dc(), paint.area(), POINT{0, 0});
            return 0;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam));
            return 0;
        case WM_DRAWITEM:
            OnDrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            return TRUE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return OnControlColour(message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
        case WM_TIMER:
            if (static_cast<int>(wparam) == kFirstControlId + static_cast<int>(layout::FormControlIndex("Timer1")))
                Timer1_Timer();
            return 0;
        case WM_SETCURSOR:
            // Answers for the children too: they ask their parent first.
            if (busy_) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus && IsChild(window, focus)) lastFocus_ = focus;
            } else {
                RestoreFocus();
            }
            return 0;
        case WM_SETFOCUS:
            RestoreFocus();
            return 0;
        case WM_DESTROY:
            if (quitsWhenClosed_) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            // The system has destroyed them: nothing left to destroy.
            (void)hints_.release();
            (void)window_.release();
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void Form1::OnCommand(int id, int notification) {
    struct Binding {
        std::string_view control;
        int notification;
        void (Form1::*handler)();
    };
    static constexpr Binding kBindings[] = {
        {"Command1", BN_CLICKED, &Form1::Command1_Click},
        // An owner-drawn button reports a quick second click as a double click.
        {"Command1", BN_DOUBLECLICKED, &Form1::Command1_Click},
        {"Check1", BN_CLICKED, &Form1::OnCheck1Clicked},
        {"txtAm", EN_CHANGE, &Form1::txtAm_Change},
    };
    for (const auto& binding : kBindings)
        if (id == kFirstControlId + static_cast<int>(layout::FormControlIndex(binding.control)) &&
            notification == binding.notification)
            (this->*binding.handler)();
}

// A click ticks a box that is not ticked and clears a ticked one; a greyed
// value is only ever set by the program.
void Form1::OnCheck1Clicked() {
    const HWND box = Control("Check1");
    const bool ticked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageW(box, BM_SETCHECK, ticked ? BST_UNCHECKED : BST_CHECKED, 0);
    Check1_Click();
}

LRESULT Form1::OnControlColour(UINT message, HDC dc, HWND control) {
    const ControlState* state = StateOf(control);
    if (!state) return DefWindowProcW(Handle(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    const auto& layout = *state->layout;
    SetTextColor(dc, GdiCache::Colour(layout.fore));
    SetBkColor(dc, GdiCache::Colour(layout.back));
    return reinterpret_cast<LRESULT>(gdi_.Brush(layout.back));
}

// The graphical button: its own background colour, a raised edge that sinks
// while pressed, the caption with its access key underlined.
void Form1::OnDrawButton(const DRAWITEMSTRUCT& item) {
    const ControlState* state = StateOf(item.hwndItem);
    if (!state) return;
    const auto& control = *state->layout;
    const HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;

    FillRect(dc, &rect, gdi_.Brush(control.back));
    DrawEdge(dc, &rect, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    const std::wstring caption = Wide(WindowText(item.hwndItem));
    const Selection font(dc, gdi_.Font(control.font.value_or(layout::FormWindow().font)));
    SetBkMode(dc, TRANSPARENT);
    RECT textRect = rect;
    if (pressed) OffsetRect(&textRect, 1, 1);
    constexpr UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (disabled) {
        // Engraved, as the system draws a disabled caption.
        RECT highlight = textRect;
        OffsetRect(&highlight, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextW(dc, caption.c_str(), -1, &highlight, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GdiCache::Colour(control.fore));
    }
    DrawTextW(dc, caption.c_str(), -1, &textRect, format);

    if (item.itemState & ODS_FOCUS) {
        constexpr int kFocusInset = 4;
        InflateRect(&rect, -kFocusInset, -kFocusInset);
        DrawFocusRect(dc, &rect);
    }
}

// The flat look of a drop-down box: a one-pixel frame in place of the sunken
// edge, and a flat arrow button.
void Form1::PaintFlatFrame(HWND combo) {
    const ControlState* state = StateOf(combo);
    if (!state) return;
    const WindowDc dc(combo, GetWindowDC(combo));
    if (!dc.get()) return;
    RECT rect{};
    GetWindowRect(combo, &rect);
    OffsetRect(&rect, -rect.left, -rect.top);
    FrameRect(dc.get(), &rect, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&rect, -1, -1);
    FrameRect(dc.get(), &rect, gdi_.Brush(state->layout->back));

    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    if (!GetComboBoxInfo(combo, &parts)) return;
    UINT look = DFCS_SCROLLCOMBOBOX | DFCS_FLAT;
    if (parts.stateButton & STATE_SYSTEM_PRESSED) look |= DFCS_PUSHED;
    DrawFrameControl(dc.get(), &parts.rcButton, DFC_SCROLL, look);
}

LRESULT Form1::OnItemMessage(ControlState& item, UINT message, WPARAM wparam, LPARAM lparam) {
    const HWND window = item.window;
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            const PaintScope paint(window);
            PaintScene(CurrentScene(), paint.dc(), paint.area(), POINT{item.rect.left, item.rect.top});
            return 0;
        }
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(gdi_.Font(item.layout->font.value_or(layout::FormWindow().font)));
        case WM_SETTEXT: {
            // The system keeps the caption, where other processes read it.
            const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
            InvalidateRect(window, nullptr, FALSE);
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            OnItemButtonDown(item, ButtonCode(message), wparam, lparam);
            return 0;
        case WM_LBUTTONUP:
            OnItemLeftButtonUp(item, lparam);
            return 0;
        case WM_CAPTURECHANGED:
            if (pressed_ == window) pressed_ = nullptr;
            return 0;
        default:
            return DefWindowProcW(window, message, wparam, lparam);
    }
}

void Form1::OnItemButtonDown(const ControlState& item, int button, WPARAM keys, LPARAM point) {
    struct Binding {
        std::string_view control;
        MouseDownHandler handler;
    };
    static constexpr Binding kBindings[] = {
        {"Label3", &Form1::Label3_MouseDown},
        {"Label9", &Form1::Label9_MouseDown},
    };
    if (button == 1) {
        // A click is a press and a release over the same control.
        pressed_ = item.window;
        SetCapture(item.window);
    }
    for (const auto& binding : kBindings)
        if (item.layout->name == binding.control)
            (this->*binding.handler)(button, ShiftState(keys), GET_X_LPARAM(point), GET_Y_LPARAM(point));
}

void Form1::OnItemLeftButtonUp(const ControlState& item, LPARAM point) {
    struct Binding {
        std::string_view control;
        ClickHandler handler;
    };
    static constexpr Binding kBindings[] = {
        {"Label4", &Form1::Label4_Click},
        {"Image2", &Form1::Image2_Click},
    };
    const bool clicked = pressed_ == item.window;
    pressed_ = nullptr;
    if (GetCapture() == item.window) ReleaseCapture();
    if (!clicked) return;
    RECT client{};
    GetClientRect(item.window, &client);
    if (!PtInRect(&client, POINT{GET_X_LPARAM(point), GET_Y_LPARAM(point)})) return;
    for (const auto& binding : kBindings)
        if (item.layout->name == binding.control) (this->*binding.handler)();
}

}  // namespace kavrel::win32
