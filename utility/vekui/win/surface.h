// A 32-bit premultiplied top-down DIB section with its memory DC: what the
// window (and the offscreen renderer) draws into.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <cstdint>

#include "utility/vekui/core/geometry.h"
#include "utility/vekui/win/gdihandles.h"

namespace vekui {

class CSurface {
public:
    CSurface() = default;
    ~CSurface();
    CSurface(const CSurface&) = delete;
    CSurface& operator=(const CSurface&) = delete;

    // A new, fully transparent surface of the size; false when GDI refuses.
    bool Resize(Size size);
    Size GetSize() const { return size_; }
    HDC Dc() const { return dc_.get(); }
    uint32_t* Bits() const { return bits_; }
    int Stride() const { return size_.cx * 4; }
    uint32_t Pixel(int x, int y) const;   // premultiplied 0xAARRGGBB
    void Clear(const Rect& rect);          // to transparent

private:
    void Release();

    UniqueMemoryDc dc_;
    UniqueBitmap bitmap_;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
    Size size_;
};

}  // namespace vekui
