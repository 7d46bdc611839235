#pragma once
// The logo picture stored in the program file (a JPEG), decoded by the
// system's picture loader and drawn stretched into any rectangle.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "win32/form/handles.h"

namespace kavrel::win32 {

class Logo {
public:
    // An undecodable or missing picture leaves the logo empty: the image then
    // shows what lies behind it, as an image without a picture does.
    Logo(HINSTANCE instance, int resource);

    void Draw(HDC dc, const RECT& target) const;

private:
    ComPointer<IPicture> picture_;
};

}  // namespace kavrel::win32
