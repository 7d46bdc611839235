#include "win32/form/gdi_cache.h"

#include <algorithm>
#include <string>

#include "core/run_time_error.h"
#include "win32/wide_text.h"

namespace kavrel::win32 {
namespace {

int SystemColourIndex(layout::SystemColour colour) {
    switch (colour) {
        case layout::SystemColour::Window: return COLOR_WINDOW;
        case layout::SystemColour::WindowText: return COLOR_WINDOWTEXT;
        case layout::SystemColour::ButtonText: return COLOR_BTNTEXT;
    }
    return COLOR_WINDOW;
}

LOGFONTW FontRequest(const layout::Font& font, int dpi) {
    LOGFONTW request{};
    request.lfHeight = layout::FontHeight(font, dpi);
    request.lfWeight = layout::FontWeight(font);
    request.lfCharSet = ANSI_CHARSET;
    request.lfOutPrecision = OUT_DEFAULT_PRECIS;
    request.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    request.lfQuality = DEFAULT_QUALITY;
    request.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::wstring face = Wide(font.face);
    face.copy(request.lfFaceName, LF_FACESIZE - 1);
    return request;
}

}  // namespace

COLORREF GdiCache::Colour(const layout::Colour& colour) {
    if (colour.source == layout::Colour::Source::System) return GetSysColor(SystemColourIndex(colour.system));
    return RGB(colour.rgb.red, colour.rgb.green, colour.rgb.blue);
}

HFONT GdiCache::Font(const layout::Font& font) {
    const auto found = std::find_if(fonts_.begin(), fonts_.end(), [&font](const FontEntry& entry) {
        return entry.font.face == font.face && entry.font.hundredthsOfPoint == font.hundredthsOfPoint &&
               entry.font.bold == font.bold;
    });
    if (found != fonts_.end()) return found->handle.get();
    const LOGFONTW request = FontRequest(font, dpi_);
    FontHandle handle(CreateFontIndirectW(&request));
    if (!handle) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create a font");
    fonts_.push_back({font, std::move(handle)});
    return fonts_.back().handle.get();
}

HBRUSH GdiCache::Brush(const layout::Colour& colour) {
    if (colour.source == layout::Colour::Source::System) return GetSysColorBrush(SystemColourIndex(colour.system));
    const COLORREF value = Colour(colour);
    const auto found =
        std::find_if(brushes_.begin(), brushes_.end(), [value](const auto& entry) { return entry.first == value; });
    if (found != brushes_.end()) return found->second.get();
    BrushHandle handle(CreateSolidBrush(value));
    if (!handle) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create a brush");
    brushes_.emplace_back(value, std::move(handle));
    return brushes_.back().second.get();
}

HPEN GdiCache::Pen(const layout::Colour& colour) {
    const COLORREF value = Colour(colour);
    const auto found =
        std::find_if(pens_.begin(), pens_.end(), [value](const auto& entry) { return entry.first == value; });
    if (found != pens_.end()) return found->second.get();
    PenHandle handle(CreatePen(PS_SOLID, 1, value));
    if (!handle) throw RunTimeError(ErrorKind::SystemCallFailed, "cannot create a pen");
    pens_.emplace_back(value, std::move(handle));
    return pens_.back().second.get();
}

}  // namespace kavrel::win32
