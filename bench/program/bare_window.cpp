// bare_window: the least a program like Kavrel must do to show its window, for
// kavrel_bench to compare Kavrel's start-up, memory and paste with: a WS_POPUP
// window of Kavrel's client size and place, white, with one Edit where Kavrel's
// amount box is, in the same font and with the same lifted text limit.
//
//   bare_window.exe            the bare window
//   bare_window.exe --statics  the same window carrying Kavrel's whole layout
//                              made of system controls, the labels, images and
//                              rectangles as Static controls (for the repaint
//                              comparison)
#include <windows.h>

#include <string>
#include <vector>

#include "window/layout.h"

namespace {

constexpr wchar_t kClass[] = L"Kavrel.Bench.BareWindow";
constexpr WPARAM kNoTextLimit = 0x7FFFFFFE;

std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }

COLORREF ColourOf(const kavrel::layout::Colour& colour) {
    using kavrel::layout::SystemColour;
    if (colour.source == kavrel::layout::Colour::Source::System)
        return GetSysColor(colour.system == SystemColour::WindowText   ? COLOR_WINDOWTEXT
                           : colour.system == SystemColour::ButtonText ? COLOR_BTNTEXT
                                                                       : COLOR_WINDOW);
    return RGB(colour.rgb.red, colour.rgb.green, colour.rgb.blue);
}

// The window's fonts and brushes, made once and deleted with the window.
struct Resources {
    int dpi = 96;
    std::vector<HGDIOBJ> objects;
    ~Resources() {
        for (const HGDIOBJ object : objects) DeleteObject(object);
    }
    HFONT Font(const kavrel::layout::Font& font) {
        const HFONT made = CreateFontW(kavrel::layout::FontHeight(font, dpi), 0, 0, 0, kavrel::layout::FontWeight(font),
                                       FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(font.face).c_str());
        objects.push_back(made);
        return made;
    }
    HBRUSH Brush(COLORREF colour) {
        const HBRUSH made = CreateSolidBrush(colour);
        objects.push_back(made);
        return made;
    }
};

struct SystemKind {
    kavrel::layout::Kind kind;
    const wchar_t* className;
    DWORD style;
};
using kavrel::layout::Kind;
constexpr SystemKind kSystemKinds[] = {
    {Kind::CheckBox, L"BUTTON", BS_3STATE | BS_FLAT},
    {Kind::TextBox, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER},
    {Kind::PushButton, L"BUTTON", BS_PUSHBUTTON},
    {Kind::DropDownList, L"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL},
    {Kind::DropDownBox, L"COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL},
    {Kind::Label, L"STATIC", SS_LEFT | SS_NOPREFIX},
    {Kind::Image, L"STATIC", SS_ICON | SS_CENTERIMAGE},
    {Kind::Rectangle, L"STATIC", SS_BLACKFRAME},
};

HWND MakeControl(HWND parent, const kavrel::layout::Control& control, Resources& resources, int id) {
    const SystemKind* kind = nullptr;
    for (const auto& entry : kSystemKinds)
        if (entry.kind == control.kind) kind = &entry;
    if (!kind) return nullptr;
    const auto rect = kavrel::layout::Pixels(control.twips, resources.dpi);
    const bool combo = control.kind == Kind::DropDownList || control.kind == Kind::DropDownBox;
    const HWND made = CreateWindowExW(0, kind->className, Wide(control.text).c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | kind->style, rect.left, rect.top,
                                      rect.Width(), combo ? rect.Height() * 10 : rect.Height(), parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    const auto& font = control.font.value_or(kavrel::layout::FormWindow().font);
    SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(resources.Font(font)), FALSE);
    if (control.picture != kavrel::layout::Picture::None)
        SendMessageW(made, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_APPLICATION)), 0);
    return made;
}

struct Window {
    Resources resources;
    std::vector<std::pair<HWND, const kavrel::layout::Control*>> controls;
    HBRUSH hollow = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    std::vector<std::pair<HWND, HBRUSH>> backgrounds;
};

// Static controls take their colours from the window, as Kavrel's labels do from the layout.
LRESULT StaticColour(Window& window, HDC dc, HWND control) {
    for (const auto& [handle, layout] : window.controls) {
        if (handle != control) continue;
        SetTextColor(dc, ColourOf(layout->fore));
        if (layout->backStyle == kavrel::layout::BackStyle::Transparent) {
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(window.hollow);
        }
        for (const auto& [owner, brush] : window.backgrounds)
            if (owner == control) {
                SetBkColor(dc, ColourOf(layout->back));
                return reinterpret_cast<LRESULT>(brush);
            }
    }
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

LRESULT CALLBACK Procedure(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(handle, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            if (window) return StaticColour(*window, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
            break;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: break;
    }
    return DefWindowProcW(handle, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    const bool statics = std::string(commandLine).find("--statics") != std::string::npos;
    Window window;
    if (const HDC screen = GetDC(nullptr)) {
        window.resources.dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }

    WNDCLASSW description{};
    description.lpfnWndProc = Procedure;
    description.hInstance = instance;
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    description.lpszClassName = kClass;
    if (!RegisterClassW(&description)) return 1;

    const auto client = kavrel::layout::Pixels(kavrel::layout::FormWindow().client, window.resources.dpi);
    const HWND top = CreateWindowExW(WS_EX_APPWINDOW, kClass, L"bare window", WS_POPUP | WS_CLIPCHILDREN, client.left,
                                     client.top, client.Width(), client.Height(), nullptr, nullptr, instance, &window);
    if (!top) return 1;

    const auto controls = kavrel::layout::FormControls();
    for (std::size_t index = 0; index < controls.size(); ++index) {
        const auto& control = controls[index];
        if (!statics && control.kind != Kind::TextBox) continue;
        const HWND made = MakeControl(top, control, window.resources, 1000 + static_cast<int>(index));
        if (!made) continue;
        window.controls.emplace_back(made, &control);
        if (control.backStyle == kavrel::layout::BackStyle::Opaque &&
            control.back.source != kavrel::layout::Colour::Source::None)
            window.backgrounds.emplace_back(made, window.resources.Brush(ColourOf(control.back)));
        if (control.kind == Kind::TextBox) SendMessageW(made, EM_SETLIMITTEXT, kNoTextLimit, 0);
    }

    ShowWindow(top, show);
    UpdateWindow(top);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
