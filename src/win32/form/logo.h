#pragma once
// The logo picture, stored in the program file as a 24-bit bitmap resource
// (decoded from the design's JPEG by tools/art/make_art) and drawn stretched
// straight from there: nothing is decoded or copied at start.
#include <windows.h>

namespace kavrel::win32 {

class Logo {
public:
    // A missing or malformed bitmap leaves the logo empty: the image then
    // shows what lies behind it, as an image without a picture does.
    Logo(HINSTANCE instance, int resource);

    // Stretched to the rectangle exactly, proportions not kept, with the
    // device context's stretch mode.
    void Draw(HDC dc, const RECT& target) const;

private:
    // Both point into the program's resources, mapped for as long as it runs.
    const BITMAPINFO* format_ = nullptr;
    const void* pixels_ = nullptr;
};

}  // namespace kavrel::win32
