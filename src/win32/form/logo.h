#pragma once
// The logo picture stored in the program file (a JPEG), decoded once at start
// into 32-bit pixels in memory (no COM, no picture library) and drawn
// stretched into any rectangle.
#include <windows.h>

#include <cstdint>
#include <vector>

namespace kavrel::win32 {

class Logo {
public:
    // An undecodable or missing picture leaves the logo empty: the image then
    // shows what lies behind it, as an image without a picture does.
    Logo(HINSTANCE instance, int resource);

    // Stretched to the rectangle exactly, proportions not kept, with the
    // device context's stretch mode.
    void Draw(HDC dc, const RECT& target) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;  // top row first, 0x00RRGGBB as a DIB holds them
};

}  // namespace kavrel::win32
