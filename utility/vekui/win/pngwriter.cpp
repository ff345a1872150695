#include "utility/vekui/win/pngwriter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "utility/vekui/win/gdiplusinc.h"

namespace vekui {
namespace {

bool PngEncoder(CLSID* clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

uint32_t Unpremultiply(uint32_t pixel) {
    const uint32_t a = pixel >> 24;
    if (a == 0) return 0;
    if (a == 255) return pixel;
    auto channel = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
    return (a << 24) | (channel((pixel >> 16) & 0xFF) << 16) | (channel((pixel >> 8) & 0xFF) << 8) |
           channel(pixel & 0xFF);
}

}  // namespace

bool SavePixelsPng(const uint32_t* pixels, Size size, const std::wstring& path) {
    if (!pixels || size.cx <= 0 || size.cy <= 0) return false;
    CLSID png;
    if (!PngEncoder(&png)) return false;
    std::vector<uint32_t> straight(static_cast<size_t>(size.cx) * size.cy);
    for (size_t i = 0; i < straight.size(); ++i) straight[i] = Unpremultiply(pixels[i]);
    Gdiplus::Bitmap bitmap(size.cx, size.cy, size.cx * 4, PixelFormat32bppARGB,
                           reinterpret_cast<BYTE*>(straight.data()));
    return bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool SaveSurfacePng(const CSurface& surface, const std::wstring& path) {
    return SavePixelsPng(surface.Bits(), surface.GetSize(), path);
}

}  // namespace vekui
