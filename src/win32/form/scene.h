#pragma once
// The window's picture: its background and the labels, images and rectangles
// of the layout, painted back to front from the layout table. The window and
// every label or image window paint the same scene, each over its own
// rectangle, so that transparent labels show whatever lies behind them.
#include <windows.h>

#include <span>

#include "win32/form/control_state.h"
#include "win32/form/gdi_cache.h"
#include "win32/form/logo.h"
#include "window/layout.h"

namespace kavrel::win32 {

struct Scene {
    std::span<const ControlState> controls;
    GdiCache& gdi;
    const Logo& logo;
    const layout::Window& form;
};

// Paints `area` of the scene straight into the window's own `target`. The
// window paints when it is shown or uncovered, and its visible children are
// clipped away: it draws the background and rectangles around them, and the
// labels and images only before they are first shown.
void PaintScene(const Scene& scene, HDC target, const RECT& area);

// Paints `area` (a rectangle of `target`'s own coordinates) of the scene into
// `target`, whose top-left corner lies at `origin` of the window's client area.
// Drawn off-screen first, so that a label that changes while in view does not
// flicker.
void PaintSceneOffScreen(const Scene& scene, HDC target, const RECT& area, POINT origin);

}  // namespace kavrel::win32
