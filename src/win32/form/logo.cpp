#include "win32/form/logo.h"

#include <memory>

#include "win32/form/gdi_cache.h"

// stb_image (Debian's libstb-dev), baseline and progressive JPEG only: the
// logo is decoded in the program, without loading COM and the system's picture
// loader before the first paint.
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_NO_SIMD  // a 50 x 40 picture: smaller code matters more than speed
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_THREAD_LOCALS  // one thread decodes, once: no thread-local runtime linked for it
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace kavrel::win32 {
namespace {

struct StbFree {
    void operator()(stbi_uc* pixels) const noexcept { stbi_image_free(pixels); }
};

constexpr int kRgb = 3;

}  // namespace

Logo::Logo(HINSTANCE instance, int resource) {
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return;
    const DWORD size = SizeofResource(instance, found);
    const auto* bytes = static_cast<const stbi_uc*>(LockResource(LoadResource(instance, found)));
    if (!bytes || size == 0) return;

    int width = 0, height = 0, components = 0;
    const std::unique_ptr<stbi_uc, StbFree> rgb(
        stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &components, kRgb));
    if (!rgb || width <= 0 || height <= 0) return;
    pixels_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        const stbi_uc* pixel = rgb.get() + i * kRgb;
        pixels_[i] = (std::uint32_t{pixel[0]} << 16) | (std::uint32_t{pixel[1]} << 8) | pixel[2];
    }
    width_ = width;
    height_ = height;
}

void Logo::Draw(HDC dc, const RECT& target) const {
    if (pixels_.empty()) return;
    const BITMAPINFO info = TopDownRgbFormat(width_, height_);
    StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, 0, 0, width_,
                  height_, pixels_.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace kavrel::win32
