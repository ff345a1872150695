// vek_svgrender <in.svg> <out.png> <scale percent>: draws an SVG file with
// the window framework's renderer at the document's size times the scale and
// saves it as PNG with straight alpha, for comparison with a reference
// renderer on the Linux side. Exit codes: 2 usage, 3 read, 4 parse,
// 5 draw, 6 save.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "utility/base/fileops.h"
#include "utility/vekui/core/svg.h"
#include "utility/vekui/win/gdiplusscope.h"
#include "utility/vekui/win/pngwriter.h"
#include "utility/vekui/win/svgraster.h"

namespace {

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
    return vekui::SavePixelsPng(pixels.data(), size, out) ? 0 : 6;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int percent = argc == 4 ? _wtoi(argv[3]) : 0;
    if (percent < 10 || percent > 800) {
        fprintf(stderr, "usage: vek_svgrender <in.svg> <out.png> <scale percent>\n");
        return 2;
    }
    vekui::GdiplusScope gdiplus;
    if (!gdiplus.ok()) return 5;
    return Render(argv[1], argv[2], percent);
}
