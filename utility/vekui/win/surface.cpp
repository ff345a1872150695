#include "utility/vekui/win/surface.h"

#include <cstring>

namespace vekui {

CSurface::~CSurface() { Release(); }

void CSurface::Release() {
    if (dc_ && previous_) ::SelectObject(dc_.get(), previous_);
    previous_ = nullptr;
    bitmap_.reset();
    dc_.reset();
    bits_ = nullptr;
    size_ = {};
}

bool CSurface::Resize(Size size) {
    Release();
    if (size.cx <= 0 || size.cy <= 0 || size.cx > 16384 || size.cy > 16384) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap(dc ? ::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr);
    if (!bitmap || !bits) return false;
    previous_ = ::SelectObject(dc.get(), bitmap.get());
    dc_ = std::move(dc);
    bitmap_ = std::move(bitmap);
    bits_ = static_cast<uint32_t*>(bits);
    size_ = size;
    std::memset(bits_, 0, static_cast<size_t>(size.cx) * size.cy * 4);
    return true;
}

uint32_t CSurface::Pixel(int x, int y) const {
    if (!bits_ || x < 0 || y < 0 || x >= size_.cx || y >= size_.cy) return 0;
    return bits_[static_cast<size_t>(y) * size_.cx + x];
}

void CSurface::Clear(const Rect& rect) {
    const Rect r = rect.Intersect({0, 0, size_.cx, size_.cy});
    for (int y = r.top; y < r.bottom; ++y)
        std::memset(bits_ + static_cast<size_t>(y) * size_.cx + r.left, 0, static_cast<size_t>(r.Width()) * 4);
}

}  // namespace vekui
