#include "utility/vekui/win/svgimage.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "utility/vekui/core/svg.h"
#include "utility/vekui/win/svgraster.h"

namespace vekui {

std::unique_ptr<Gdiplus::Bitmap> RasteriseSvg(const std::string& text, int percent) {
    svg::Document document;
    std::string error;
    if (!svg::Parse(text, &document, &error)) return nullptr;
    const Size size = SvgPixelSize(document, percent);
    std::vector<uint32_t> pixels;
    if (!RasterizeSvg(document, size.cx, size.cy, &pixels)) return nullptr;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(size.cx, size.cy, PixelFormat32bppPARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok) return nullptr;
    Gdiplus::Rect all(0, 0, size.cx, size.cy);
    Gdiplus::BitmapData data = {};
    if (bitmap->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (int y = 0; y < size.cy; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride);
        std::copy_n(pixels.data() + static_cast<size_t>(y) * size.cx, size.cx, row);
    }
    bitmap->UnlockBits(&data);
    return bitmap;
}

}  // namespace vekui
