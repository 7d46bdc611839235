#pragma once
// One row of the layout as it lives in the window: what Form1 and the scene
// it paints know of each control.
#include <windows.h>

#include "window/layout.h"

namespace kavrel::win32 {

struct ControlState {
    const layout::Control* layout = nullptr;
    layout::PixelRect rect{};  // in the window's client area
    HWND window = nullptr;     // none for rectangles and the timer
    HICON icon = nullptr;      // an image's icon picture, not owned
};

}  // namespace kavrel::win32
