// vek_svgrender <in.svg> <out.png> <scale percent>: draws an SVG file with
// the window framework's renderer at the document's size times the scale and
// saves it as PNG with straight alpha, for comparison with a reference
// renderer on the Linux side. Exit codes: 2 usage, 3 read, 4 parse,
// 5 draw, 6 save.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "utility/base/fileops.h"
#include "utility/vekui/core/svg.h"
#include "utility/vekui/win/svgraster.h"

namespace {

bool FindPngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// Premultiplied to straight alpha, so the PNG holds what the reference writes.
std::vector<uint32_t> Unpremultiply(const std::vector<uint32_t>& pixels) {
    std::vector<uint32_t> out(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i], a = p >> 24;
        if (a == 0) continue;
        auto channel = [&](int shift) {
            const uint32_t v = ((p >> shift & 0xFF) * 255 + a / 2) / a;
            return (v > 255 ? 255 : v) << shift;
        };
        out[i] = a << 24 | channel(16) | channel(8) | channel(0);
    }
    return out;
}

bool SavePng(std::vector<uint32_t> pixels, int width, int height, const wchar_t* path) {
    CLSID png;
    if (!FindPngEncoder(&png)) return false;
    std::vector<uint32_t> straight = Unpremultiply(pixels);
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(straight.data()));
    return bitmap.GetLastStatus() == Gdiplus::Ok && bitmap.Save(path, &png, nullptr) == Gdiplus::Ok;
}

int Render(const wchar_t* in, const wchar_t* out, int percent) {
    std::string text;
    if (!vek::ReadFileLimited(in, 4 << 20, &text)) return 3;
    vekui::svg::Document doc;
    std::string error;
    if (!vekui::svg::Parse(text, &doc, &error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 4;
    }
    const vekui::Size size = vekui::SvgPixelSize(doc, percent);
    std::vector<uint32_t> pixels;
    if (!vekui::RasterizeSvg(doc, size.cx, size.cy, &pixels)) return 5;
    return SavePng(pixels, size.cx, size.cy, out) ? 0 : 6;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int percent = argc == 4 ? _wtoi(argv[3]) : 0;
    if (percent < 10 || percent > 800) {
        fprintf(stderr, "usage: vek_svgrender <in.svg> <out.png> <scale percent>\n");
        return 2;
    }
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 5;
    const int result = Render(argv[1], argv[2], percent);
    Gdiplus::GdiplusShutdown(token);
    return result;
}
