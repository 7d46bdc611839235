#include "win32/form/logo.h"

#include <cstring>

namespace kavrel::win32 {
namespace {

struct GlobalMemoryFree {
    void operator()(HGLOBAL memory) const noexcept { GlobalFree(memory); }
};

// The picture's bytes in a stream of their own, as the loader reads them.
ComPointer<IStream> ResourceStream(HINSTANCE instance, int resource) {
    const HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return nullptr;
    const DWORD size = SizeofResource(instance, found);
    const void* bytes = LockResource(LoadResource(instance, found));
    if (!bytes || size == 0) return nullptr;

    std::unique_ptr<void, GlobalMemoryFree> memory(GlobalAlloc(GMEM_MOVEABLE, size));
    if (!memory) return nullptr;
    void* target = GlobalLock(memory.get());
    if (!target) return nullptr;
    std::memcpy(target, bytes, size);
    GlobalUnlock(memory.get());

    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory.get(), TRUE, &stream))) return nullptr;
    memory.release();  // the stream frees it now
    return ComPointer<IStream>(stream);
}

}  // namespace

Logo::Logo(HINSTANCE instance, int resource) {
    const auto stream = ResourceStream(instance, resource);
    if (!stream) return;
    void* picture = nullptr;
    if (SUCCEEDED(OleLoadPicture(stream.get(), 0, FALSE, IID_IPicture, &picture)))
        picture_.reset(static_cast<IPicture*>(picture));
}

void Logo::Draw(HDC dc, const RECT& target) const {
    if (!picture_) return;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    // Stretched to the rectangle exactly, proportions not kept; HIMETRIC runs
    // upwards, so the source starts at the bottom with a negative height.
    picture_->Render(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, 0,
                     height, width, -height, nullptr);
}

}  // namespace kavrel::win32
