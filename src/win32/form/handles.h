#pragma once
// Owners for the system handles the window uses: each is released by the
// object that holds it, on every way out.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace kavrel::win32 {

struct GdiObjectDelete {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
using FontHandle = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDelete>;
using BrushHandle = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDelete>;
using PenHandle = std::unique_ptr<std::remove_pointer_t<HPEN>, GdiObjectDelete>;
using BitmapHandle = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDelete>;

struct IconDestroy {
    void operator()(HICON icon) const noexcept { DestroyIcon(icon); }
};
using IconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroy>;

struct WindowDestroy {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
using WindowHandle = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroy>;

struct MemoryDcDelete {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDelete>;

// A device context borrowed from a window, given back to it.
class WindowDc {
public:
    WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context for one scope, the old one put back.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// BeginPaint and EndPaint around one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A window class registered for as long as the object lives.
class WindowClass {
public:
    explicit WindowClass(const WNDCLASSEXW& description)
        : instance_(description.hInstance), name_(description.lpszClassName) {
        registered_ = RegisterClassExW(&description) != 0;
    }
    ~WindowClass() {
        if (registered_) UnregisterClassW(name_, instance_);
    }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;
    bool Registered() const { return registered_; }

private:
    HINSTANCE instance_;
    const wchar_t* name_;  // a literal of the program
    bool registered_ = false;
};

}  // namespace kavrel::win32
