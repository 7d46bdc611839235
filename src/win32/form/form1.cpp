// The window itself: its window procedures (the window's, its labels' and
// images', the amount box's), the dispatch of each message to the handler of
// the control it concerns (by ControlId, from the child's window identifier),
// the start-up handler Form_Load, the amount filter and the view operations
// that the conversion flow calls on the controls.
#include "win32/form/form1.h"

#include <string>

#include <windowsx.h>

#include "core/run_time_error.h"
#include "input/amount_filter.h"
#include "input/catalogue.h"
#include "win32/bench_marks.h"
#include "win32/form/message_loop.h"
#include "win32/form/program_end.h"
#include "win32/wide_text.h"

namespace kavrel::win32 {

using layout::ControlId;
using layout::ControlIdOf;

namespace {

// The flow reads the check box's value as the system gives it.
static_assert(static_cast<int>(CheckBoxValue::Unchecked) == BST_UNCHECKED &&
              static_cast<int>(CheckBoxValue::Checked) == BST_CHECKED &&
              static_cast<int>(CheckBoxValue::Grayed) == BST_INDETERMINATE);

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

// The Form1 a window belongs to: handed over at WM_NCCREATE, kept in the
// window's user data for every later message.
Form1* FormOf(HWND window, UINT message, LPARAM lparam) {
    if (message != WM_NCCREATE) return reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    return form;
}

}  // namespace

void Form1::Show(int how) {
    // From now on the window is the program: closing it ends the program.
    quitsWhenClosed_ = true;
    ShowWindow(Handle(), how);
    bench::Mark("window shown");
    UpdateWindow(Handle());
    ShowLabelsAndImages();
    if (GetActiveWindow() == Handle()) RestoreFocus();
}

// The window's paint draws the whole scene, labels and images included, so
// while they are hidden its first paint has drawn them already: shown without
// a redraw, they are neither erased nor painted a second time. Under Wine
// each of those first erases and paints costs a device context of its own.
// Allowed to redraw, a hidden window becomes visible and nothing else
// happens: no move, no erase, no paint.
void Form1::ShowLabelsAndImages() {
    for (const auto& state : controls_)
        if (state.window && (state.layout->kind == layout::Kind::Label || state.layout->kind == layout::Kind::Image))
            SendMessageW(state.window, WM_SETREDRAW, TRUE, 0);
}

// The control a window belongs to: the control itself, or the drop-down box
// whose text field or list it is.
ControlState* Form1::StateOf(HWND window) {
    if (!window) return nullptr;
    for (auto& state : controls_) {
        if (!state.window) continue;
        if (state.window == window || GetParent(window) == state.window) return &state;
        if (!layout::IsDropDown(state.layout->kind)) continue;
        COMBOBOXINFO parts{};
        parts.cbSize = sizeof parts;
        if (GetComboBoxInfo(state.window, &parts) && parts.hwndList == window) return &state;
    }
    return nullptr;
}

// A label or image window, found by its identifier.
ControlState* Form1::ItemOf(HWND window) {
    const auto id = ControlIdOf(GetDlgCtrlID(window));
    if (!id || Control(*id) != window) return nullptr;
    return &controls_[layout::IndexOf(*id)];
}

Scene Form1::CurrentScene() { return Scene{controls_, gdi_, logo_, layout::FormWindow()}; }

// ---- Start-up -------------------------------------------------------------

void Form1::FillBox(HWND box) {
    // The list is laid out and drawn once when filled, not after every entry.
    struct RedrawOff {
        HWND box;
        explicit RedrawOff(HWND b) : box(b) { SendMessageW(box, WM_SETREDRAW, FALSE, 0); }
        ~RedrawOff() { SendMessageW(box, WM_SETREDRAW, TRUE, 0); }
        RedrawOff(const RedrawOff&) = delete;
        RedrawOff& operator=(const RedrawOff&) = delete;
    } const redrawOff(box);
    constexpr std::size_t kCharactersPerEntry = 32;
    SendMessageW(box, CB_INITSTORAGE, std::size(CurrencyCatalogue),
                 std::size(CurrencyCatalogue) * kCharactersPerEntry * sizeof(wchar_t));
    for (const auto entry : CurrencyCatalogue) AppendEntry(box, entry);
}

void Form1::Form_Load() {
    try {
        auto& image = controls_[layout::IndexOf(ControlId::Image1)];
        image.icon = reinterpret_cast<HICON>(GetClassLongPtrW(Handle(), GCLP_HICON));
        InvalidateRect(image.window, nullptr, FALSE);
        FillBox(Control(ControlId::optCountry1));
        SelectPosition(Control(ControlId::optCountry1), kDefaultFromPosition);
        FillBox(Control(ControlId::optCountry2));
        SelectPosition(Control(ControlId::optCountry2), kDefaultToPosition);
    } catch (const RunTimeError&) {
        // Start-up skips its remaining steps; the window is shown all the same.
        // WinMain catches the same type: the program's own errors.
    }
}

// ---- Amount filter --------------------------------------------------------

void Form1::txtAm_Change() { onlyNumber(AmountText()); }

// A paste arrives filtered: the box then lays out the pasted text once, and
// the change event's filter finds only digits and leaves the text as it is.
// Like the box's own paste, it takes the clipboard's text up to its first line
// break and puts it in place of the selection.
void Form1::PasteDigits(HWND box) {
    std::u16string pasted;
    if (!OpenClipboard(box)) return;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            std::wstring_view line(text);
            line = line.substr(0, line.find(L'\n'));
            if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
            pasted = FromWide(line);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    const std::wstring digits = Wide(OnlyDigits(pasted));
    DWORD start = 0, end = 0;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (digits.empty() && start == end) {
        onlyNumber(AmountText());  // nothing to insert: only the caret goes to the end, as after any paste
        return;
    }
    SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(digits.c_str()));
}

LRESULT CALLBACK Form1::AmountBoxProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(GetParent(window), GWLP_USERDATA));
    if (message != WM_PASTE || !form || (GetWindowLongPtrW(window, GWL_STYLE) & ES_READONLY))
        return CallSystemProcedure(window, message, wparam, lparam);
    return AtProcedureBoundary([&] {
        form->PasteDigits(window);
        return LRESULT{0};
    });
}

void Form1::onlyNumber(std::u16string text) {
    const HWND box = Control(ControlId::txtAm);
    // Unchanged text raises no change event, so the nested pass ends here.
    SetWindowTextIfChanged(box, OnlyDigits(text));
    const auto length = static_cast<WPARAM>(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0));
    SendMessageW(box, EM_SETSEL, length, static_cast<LPARAM>(length));
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
}

// ---- View operations of the conversion flow -------------------------------

std::u16string Form1::FromText() { return WindowText(Control(ControlId::optCountry1)); }

std::u16string Form1::ToText() { return WindowText(Control(ControlId::optCountry2)); }

std::u16string Form1::AmountText() { return WindowText(Control(ControlId::txtAm)); }

void Form1::SetAmountText(const std::u16string& digits) { SetWindowTextIfChanged(Control(ControlId::txtAm), digits); }

void Form1::SetStatusText(const std::u16string& status) {
    SetWindowTextIfChanged(Control(ControlId::lblC), status);
    bench::Mark("status text set");
}

void Form1::SetResultText(const std::u16string& result) {
    SetWindowTextIfChanged(Control(ControlId::Label1), result);
    if (!result.empty()) bench::Mark("result text set");
}

void Form1::SetConvertEnabled(bool enabled) {
    EnableWindow(Control(ControlId::Command1), enabled ? TRUE : FALSE);
    bench::Mark("Convert enabled or disabled");
}

void Form1::SetMousePointer(MousePointer pointer) {
    busy_ = pointer == MousePointer::Hourglass;
    RefreshCursor();
    bench::Mark("pointer set");
}

bool Form1::ProcessPendingEvents() {
    bench::Mark("pending events+");
    ProcessPendingMessages(Handle());
    bench::Mark("pending events-");
    return Handle() != nullptr;  // a close met there has destroyed the window
}

CheckBoxValue Form1::AutoRetrieveBoxValue() {
    return static_cast<CheckBoxValue>(SendMessageW(Control(ControlId::Check1), BM_GETCHECK, 0, 0));
}

// The pointer changes at once, not only when the mouse next moves. Where the
// mouse is comes from the last message taken from the queue: asking the
// display (GetCursorPos) costs a round trip to it, twice in every retrieval.
// Had the mouse moved since, its own move message sets the pointer anyway.
void Form1::RefreshCursor() {
    const DWORD position = GetMessagePos();
    const POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    RECT frame{};
    if (!GetWindowRect(Handle(), &frame) || !PtInRect(&frame, point)) return;
    const HWND under = WindowFromPoint(point);
    if (!under || (under != Handle() && !IsChild(Handle(), under))) return;
    const LRESULT hit = SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
    SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
}

// Where the focus already is (a drop-down box passes it on to its text
// field), it is left alone: taking it back from the field and handing it on
// again would repaint the field and notify the window twice.
void Form1::RestoreFocus() {
    if (!lastFocus_ || !IsWindow(lastFocus_)) return;
    if (const HWND focus = GetFocus(); focus == lastFocus_ || IsChild(lastFocus_, focus)) return;
    SetFocus(lastFocus_);
}

// ---- Messages -------------------------------------------------------------
// No exception leaves a window procedure into the system: whatever escapes a
// handler ends the program through EndProgramOnFault (program_end.h).

LRESULT CALLBACK Form1::FormProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Form1* form = FormOf(window, message, lparam);
    if (!form) return DefWindowProcW(window, message, wparam, lparam);
    if (message == WM_NCCREATE) form->window_.reset(window);
    return AtProcedureBoundary([&] { return form->OnFormMessage(message, wparam, lparam); });
}

LRESULT CALLBACK Form1::ItemProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Form1* form = FormOf(window, message, lparam);
    ControlState* item = form ? form->ItemOf(window) : nullptr;
    if (!item) return DefWindowProcW(window, message, wparam, lparam);
    return AtProcedureBoundary([&] { return form->OnItemMessage(*item, message, wparam, lparam); });
}

LRESULT Form1::OnFormMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND: return 1;  // the scene paints every pixel
        case WM_PAINT: return OnPaint();
        case WM_COMMAND: OnCommand(LOWORD(wparam), HIWORD(wparam)); return 0;
        case WM_DRAWITEM: OnDrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)); return TRUE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return OnControlColour(message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
        case WM_TIMER:
            if (ControlIdOf(static_cast<long long>(wparam)) == ControlId::Timer1) Timer1_Timer();
            return 0;
        case WM_SETCURSOR:
            // Answers for the children too: they ask their parent first.
            if (!busy_) break;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        case WM_ACTIVATE: OnActivate(wparam); return 0;
        case WM_SETFOCUS: RestoreFocus(); return 0;
        case WM_DESTROY: OnDestroy(); break;
        case WM_NCDESTROY: OnNcDestroy(); break;
    }
    return DefWindowProcW(Handle(), message, wparam, lparam);
}

LRESULT Form1::OnPaint() {
    bench::Mark("paint+");
    {
        const PaintScope paint(Handle());
        PaintScene(CurrentScene(), paint.Dc(), paint.Area());
    }
    bench::Mark("paint-");
    return 0;
}

void Form1::OnDestroy() {
    if (quitsWhenClosed_) PostQuitMessage(0);
}

// The window's last message: the system has destroyed it and the hint window
// it owns, so nothing is left to destroy.
void Form1::OnNcDestroy() {
    (void)hints_.release();
    (void)window_.release();
}

void Form1::OnActivate(WPARAM state) {
    if (LOWORD(state) != WA_INACTIVE) return RestoreFocus();
    const HWND focus = GetFocus();
    if (focus && IsChild(Handle(), focus)) lastFocus_ = focus;
}

void Form1::OnCommand(int windowId, int notification) {
    const auto id = ControlIdOf(windowId);
    if (!id) return;
    switch (*id) {
        case ControlId::Command1:
            if (notification == BN_CLICKED) bench::Mark("Convert clicked");
            // An owner-drawn button reports a quick second click as a double click.
            if (notification == BN_CLICKED || notification == BN_DOUBLECLICKED) Command1_Click();
            break;
        case ControlId::Check1:
            if (notification == BN_CLICKED) OnCheck1Clicked();
            break;
        case ControlId::txtAm:
            if (notification == EN_CHANGE) txtAm_Change();
            break;
        default: break;
    }
}

// A click ticks a box that is not ticked and clears a ticked one; a greyed
// value is only ever set by the program.
void Form1::OnCheck1Clicked() {
    const HWND box = Control(ControlId::Check1);
    const bool ticked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendMessageW(box, BM_SETCHECK, ticked ? BST_UNCHECKED : BST_CHECKED, 0);
    Check1_Click();
}

}  // namespace kavrel::win32
