#pragma once
// Fonts, brushes and pens of the layout's colours, made once at the window's
// DPI and kept for the window's life.
#include <windows.h>

#include <utility>
#include <vector>

#include "win32/form/handles.h"
#include "window/layout.h"

namespace kavrel::win32 {

class GdiCache {
public:
    explicit GdiCache(int dpi) : dpi_(dpi) {}

    HFONT Font(const layout::Font& font);
    // A fixed colour's own brush; a system colour's brush follows the desktop scheme.
    HBRUSH Brush(const layout::Colour& colour);
    HPEN Pen(const layout::Colour& colour);

    static COLORREF Colour(const layout::Colour& colour);

private:
    struct FontEntry {
        layout::Font font;
        FontHandle handle;
    };
    int dpi_;
    std::vector<FontEntry> fonts_;
    std::vector<std::pair<COLORREF, BrushHandle>> brushes_;
    std::vector<std::pair<COLORREF, PenHandle>> pens_;
};

}  // namespace kavrel::win32
