// The chrome that stands in for the missing system title bar, and the label
// and image windows it lives on: a left press on Label3 or Label9 drags the
// window, a click on the close square Label4 ends the program, a click on the
// logo Image2 opens the maker's web site. A click is a left press and a
// release over the same label or image, tracked here with the mouse capture.
#include <windows.h>
#include <windowsx.h>

#include <string>

#include "build_config.h"
#include "win32/ansi_text.h"
#include "win32/bench_marks.h"
#include "win32/form/form1.h"

namespace kavrel::win32 {

using layout::ControlId;

namespace {

constexpr char16_t kMakerSite[] = u"" KAVREL_CONFIGURED_MAKER_SITE;

MouseButton ButtonOf(UINT downMessage) {
    switch (downMessage) {
        case WM_LBUTTONDOWN: return MouseButton::Left;
        case WM_RBUTTONDOWN: return MouseButton::Right;
        default: return MouseButton::Middle;
    }
}

}  // namespace

LRESULT Form1::OnItemMessage(ControlState& item, UINT message, WPARAM wparam, LPARAM lparam) {
    const HWND window = item.window;
    switch (message) {
        case WM_ERASEBKGND: return 1;
        case WM_PAINT: {
            bench::Mark("paint+");
            {
                const PaintScope paint(window);
                PaintSceneOffScreen(CurrentScene(), paint.Dc(), paint.Area(), POINT{item.rect.left, item.rect.top});
            }
            bench::Mark("paint-");
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
        case WM_MBUTTONDOWN: OnItemButtonDown(item, ButtonOf(message)); return 0;
        case WM_LBUTTONUP: OnItemLeftButtonUp(item, lparam); return 0;
        case WM_MOUSEMOVE:
            if (!item.layout->hint.empty()) ShowHintOf(item, wparam, lparam);
            return 0;
        case WM_CAPTURECHANGED:
            if (pressed_ == window) pressed_ = nullptr;
            return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

void Form1::OnItemButtonDown(const ControlState& item, MouseButton button) {
    if (button == MouseButton::Left) {
        pressed_ = item.window;
        SetCapture(item.window);
    }
    switch (item.layout->id) {
        case ControlId::Label3: Label3_MouseDown(button); break;
        case ControlId::Label9: Label9_MouseDown(button); break;
        default: break;
    }
}

void Form1::OnItemLeftButtonUp(const ControlState& item, LPARAM point) {
    const bool pressedHere = pressed_ == item.window;
    pressed_ = nullptr;
    if (GetCapture() == item.window) ReleaseCapture();
    RECT client{};
    GetClientRect(item.window, &client);
    if (!pressedHere || !PtInRect(&client, POINT{GET_X_LPARAM(point), GET_Y_LPARAM(point)})) return;
    switch (item.layout->id) {
        case ControlId::Label4: Label4_Click(); break;
        case ControlId::Image2: Image2_Click(); break;
        default: break;
    }
}

void Form1::DragWindow(MouseButton button) {
    if (button != MouseButton::Left) return;
    ReleaseCapture();
    // The system takes the press for one on a title bar and moves the window
    // until the button is released; the call returns then.
    SendMessageA(Handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void Form1::Label3_MouseDown(MouseButton button) { DragWindow(button); }

void Form1::Label9_MouseDown(MouseButton button) { DragWindow(button); }

void Form1::Label4_Click() { endProgram_(); }

// Whether a browser opened is not asked: a failure shows nothing.
void Form1::Image2_Click() { ShellOpen(kMakerSite, SW_SHOWMAXIMIZED); }

void Form1::ShellOpen(const std::u16string& document, std::int32_t show) {
    const std::string ansiDocument = Ansi(document);
    system_.shellExecuteA(nullptr, nullptr, ansiDocument.c_str(), nullptr, nullptr, show);
}

}  // namespace kavrel::win32
