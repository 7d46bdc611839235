#include "win32/form/scene.h"

#include <string>

#include "win32/wide_text.h"

namespace kavrel::win32 {
namespace {

bool Meets(const layout::PixelRect& rect, const RECT& area) {
    return rect.left < area.right && area.left < rect.right && rect.top < area.bottom && area.top < rect.bottom;
}

RECT ToRect(const layout::PixelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

bool Shows(const layout::Colour& colour) { return colour.source != layout::Colour::Source::None; }

// The pixel format of the off-screen scene: 32-bit RGB, top row first.
BITMAPINFO TopDownRgbFormat(int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

void PaintBackground(const Scene& scene, HDC dc, const layout::Control& control, const RECT& rect) {
    if (control.backStyle == layout::BackStyle::Opaque && Shows(control.back))
        FillRect(dc, &rect, scene.gdi.Brush(control.back));
}

void PaintLabel(const Scene& scene, HDC dc, const ControlState& state) {
    const auto& control = *state.layout;
    RECT rect = ToRect(state.rect);
    PaintBackground(scene, dc, control, rect);
    const std::wstring text = Wide(WindowText(state.window));
    if (text.empty() || !Shows(control.fore)) return;

    const Selection font(dc, scene.gdi.Font(control.font.value_or(scene.form.font)));
    SetTextColor(dc, GdiCache::Colour(control.fore));
    SetBkMode(dc, TRANSPARENT);
    // Captions show an "&" as it is: no label has an access key, and the
    // result and status lines show whatever the rate service wrote.
    UINT format = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
    format |= control.alignment == layout::Alignment::Centre ? DT_CENTER : DT_LEFT;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

void PaintImage(const Scene& scene, HDC dc, const ControlState& state) {
    const RECT rect = ToRect(state.rect);
    switch (state.layout->picture) {
        case layout::Picture::WindowIcon:
            if (state.icon)
                DrawIconEx(dc, rect.left, rect.top, state.icon, rect.right - rect.left, rect.bottom - rect.top, 0,
                           nullptr, DI_NORMAL);
            break;
        case layout::Picture::Logo: scene.logo.Draw(dc, rect); break;
        case layout::Picture::None: break;
    }
}

void PaintRectangle(const Scene& scene, HDC dc, const ControlState& state) {
    const auto& control = *state.layout;
    const RECT rect = ToRect(state.rect);
    PaintBackground(scene, dc, control, rect);
    if (!Shows(control.fore)) return;
    // A one-pixel outline inside the rectangle, the inside left as it is.
    const Selection pen(dc, scene.gdi.Pen(control.fore));
    const Selection brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void PaintControl(const Scene& scene, HDC dc, const ControlState& state) {
    switch (state.layout->kind) {
        case layout::Kind::Label: PaintLabel(scene, dc, state); break;
        case layout::Kind::Image: PaintImage(scene, dc, state); break;
        case layout::Kind::Rectangle: PaintRectangle(scene, dc, state); break;
        default: break;  // the system paints its own controls
    }
}

// In client coordinates of the window.
void PaintArea(const Scene& scene, HDC dc, const RECT& area) {
    FillRect(dc, &area, scene.gdi.Brush(scene.form.back));
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    for (auto state = scene.controls.rbegin(); state != scene.controls.rend(); ++state)
        if (Meets(state->rect, area)) PaintControl(scene, dc, *state);
}

}  // namespace

void PaintScene(const Scene& scene, HDC target, const RECT& area) { PaintArea(scene, target, area); }

void PaintSceneOffScreen(const Scene& scene, HDC target, const RECT& area, POINT origin) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    // A device-independent bitmap, not one compatible with the display: under
    // Wine that would be a pixmap of the X server, costly to make and read
    // back (about 3 ms of the window's first paint).
    const BITMAPINFO format = TopDownRgbFormat(width, height);
    void* pixels = nullptr;
    const MemoryDc buffer(CreateCompatibleDC(target));
    const BitmapHandle bitmap(CreateDIBSection(target, &format, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!buffer || !bitmap) return;  // nothing to paint with: the area stays as it was
    const Selection selected(buffer.get(), bitmap.get());

    // The buffer's pixel (0, 0) is the scene's point at the area's top-left corner.
    const RECT sceneArea{area.left + origin.x, area.top + origin.y, area.right + origin.x, area.bottom + origin.y};
    SetViewportOrgEx(buffer.get(), -sceneArea.left, -sceneArea.top, nullptr);
    PaintArea(scene, buffer.get(), sceneArea);
    SetViewportOrgEx(buffer.get(), 0, 0, nullptr);
    BitBlt(target, area.left, area.top, width, height, buffer.get(), 0, 0, SRCCOPY);
}

}  // namespace kavrel::win32
