#include "win32/form/logo.h"

#include <cstddef>
#include <cstdlib>

namespace kavrel::win32 {
namespace {

constexpr WORD kBitsPerPixel = 24;

// The bytes of a 24-bit bitmap's pixels: rows padded to whole 32-bit words.
std::size_t PixelBytes(const BITMAPINFOHEADER& header) {
    const std::size_t rowBytes = (static_cast<std::size_t>(header.biWidth) * kBitsPerPixel + 31) / 32 * 4;
    return rowBytes * static_cast<std::size_t>(std::abs(header.biHeight));
}

}  // namespace

Logo::Logo(HINSTANCE instance, int resource) {
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resource), RT_BITMAP);
    if (!found) return;
    const DWORD size = SizeofResource(instance, found);
    const auto* format = static_cast<const BITMAPINFO*>(LockResource(LoadResource(instance, found)));
    if (!format || size < sizeof(BITMAPINFOHEADER)) return;
    // Drawn only as make_art writes it: a plain header, no colour table, 24 bits a pixel.
    const BITMAPINFOHEADER& header = format->bmiHeader;
    if (header.biSize != sizeof header || header.biBitCount != kBitsPerPixel || header.biCompression != BI_RGB ||
        header.biClrUsed != 0 || header.biWidth <= 0 || header.biHeight == 0 ||
        size - sizeof header < PixelBytes(header))
        return;
    format_ = format;
    pixels_ = reinterpret_cast<const std::byte*>(format) + sizeof header;
}

void Logo::Draw(HDC dc, const RECT& target) const {
    if (!format_) return;
    const BITMAPINFOHEADER& header = format_->bmiHeader;
    StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, 0, 0,
                  header.biWidth, std::abs(header.biHeight), pixels_, format_, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace kavrel::win32
