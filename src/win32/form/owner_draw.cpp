// Owner-drawn painting of the system's controls that the layout gives a look
// of their own: the colours of the text box, the check box and the drop-down
// boxes, the graphical Convert button (its background colour, a raised edge
// that sinks while pressed) and the flat one-pixel frame of the drop-down
// boxes. Labels, images and rectangles are painted by the scene instead.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "win32/bench_marks.h"
#include "win32/form/form1.h"
#include "win32/form/program_end.h"
#include "win32/wide_text.h"

namespace kavrel::win32 {

LRESULT CALLBACK Form1::FlatComboProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return AtProcedureBoundary([&] {
        const LRESULT result = CallSystemProcedure(window, message, wparam, lparam);
        auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(GetParent(window), GWLP_USERDATA));
        if (message == WM_PAINT && form) form->PaintFlatFrame(window);
        return result;
    });
}

LRESULT Form1::OnControlColour(UINT message, HDC dc, HWND control) {
    const ControlState* state = StateOf(control);
    if (!state)
        return DefWindowProcW(Handle(), message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
    const auto& layout = *state->layout;
    SetTextColor(dc, GdiCache::Colour(layout.fore));
    SetBkColor(dc, GdiCache::Colour(layout.back));
    return reinterpret_cast<LRESULT>(gdi_.Brush(layout.back));
}

// The graphical button: its own background colour, a raised edge that sinks
// while pressed, the caption with its access key underlined.
void Form1::OnDrawButton(const DRAWITEMSTRUCT& item) {
    bench::Mark("button drawn");
    if (item.itemAction != ODA_DRAWENTIRE) {
        // A press, a release or the focus changed: drawn with the next paint,
        // so that a click, which presses, releases and then disables the
        // button, draws it once and not three times.
        InvalidateRect(item.hwndItem, nullptr, FALSE);
        return;
    }
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
    if (!dc.Get()) return;
    RECT rect{};
    GetWindowRect(combo, &rect);
    OffsetRect(&rect, -rect.left, -rect.top);
    FrameRect(dc.Get(), &rect, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&rect, -1, -1);
    FrameRect(dc.Get(), &rect, gdi_.Brush(state->layout->back));

    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    if (!GetComboBoxInfo(combo, &parts)) return;
    UINT look = DFCS_SCROLLCOMBOBOX | DFCS_FLAT;
    if (parts.stateButton & STATE_SYSTEM_PRESSED) look |= DFCS_PUSHED;
    DrawFrameControl(dc.Get(), &parts.rcButton, DFC_SCROLL, look);
}

}  // namespace kavrel::win32
