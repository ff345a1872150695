#include "utility/vekui/win/svgraster.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>

namespace vekui {
namespace {

// The viewBox into the buffer: one scale for both axes, centred.
struct Mapping {
    float scale = 1, dx = 0, dy = 0;
    Gdiplus::PointF Apply(const svg::PointF& p) const { return {p.x * scale + dx, p.y * scale + dy}; }
};

Mapping MapViewBox(const svg::Document& doc, int width, int height) {
    Mapping m;
    if (!(doc.viewWidth > 0 && doc.viewHeight > 0)) return m;
    const float sx = width / doc.viewWidth, sy = height / doc.viewHeight;
    m.scale = sx < sy ? sx : sy;
    m.dx = (width - doc.viewWidth * m.scale) / 2 - doc.viewX * m.scale;
    m.dy = (height - doc.viewHeight * m.scale) / 2 - doc.viewY * m.scale;
    return m;
}

Gdiplus::Color ToGdiplus(Color c) {
    return Gdiplus::Color(ColorAlpha(c), ColorRed(c), ColorGreen(c), ColorBlue(c));
}

Gdiplus::LineCap ToGdiplus(svg::LineCap cap) {
    switch (cap) {
        case svg::LineCap::Round: return Gdiplus::LineCapRound;
        case svg::LineCap::Square: return Gdiplus::LineCapSquare;
        default: return Gdiplus::LineCapFlat;
    }
}

// A miter past the limit falls back to a bevel, as SVG asks.
Gdiplus::LineJoin ToGdiplus(svg::LineJoin join) {
    switch (join) {
        case svg::LineJoin::Round: return Gdiplus::LineJoinRound;
        case svg::LineJoin::Bevel: return Gdiplus::LineJoinBevel;
        default: return Gdiplus::LineJoinMiterClipped;
    }
}

void BuildPath(const svg::Shape& shape, const Mapping& m, Gdiplus::GraphicsPath* path) {
    std::vector<Gdiplus::PointF> points;
    for (const svg::Subpath& sp : shape.subpaths) {
        points.clear();
        for (const svg::PointF& p : sp.points) points.push_back(m.Apply(p));
        path->StartFigure();
        path->AddBeziers(points.data(), static_cast<INT>(points.size()));
        if (sp.closed) path->CloseFigure();
    }
}

void DrawShape(Gdiplus::Graphics* g, const svg::Shape& shape, const Mapping& m) {
    Gdiplus::GraphicsPath path(shape.fillRule == svg::FillRule::EvenOdd ? Gdiplus::FillModeAlternate
                                                                         : Gdiplus::FillModeWinding);
    BuildPath(shape, m, &path);
    if (shape.fill) {
        Gdiplus::SolidBrush brush(ToGdiplus(shape.fillColor));
        g->FillPath(&brush, &path);
    }
    if (shape.stroke) {
        Gdiplus::Pen pen(ToGdiplus(shape.strokeColor), shape.strokeWidth * m.scale);
        pen.SetLineCap(ToGdiplus(shape.lineCap), ToGdiplus(shape.lineCap), Gdiplus::DashCapFlat);
        pen.SetLineJoin(ToGdiplus(shape.lineJoin));
        pen.SetMiterLimit(shape.miterLimit);
        g->DrawPath(&pen, &path);
    }
}

}  // namespace

Size SvgPixelSize(const svg::Document& document, int percent) {
    auto side = [percent](float length) {
        const double v = std::floor(static_cast<double>(length) * percent / 100 + 0.5);
        return v < 1 ? 1 : v > kMaxSvgPixels ? kMaxSvgPixels + 1 : static_cast<int>(v);
    };
    return {side(document.width), side(document.height)};
}

bool RasterizeSvg(const svg::Document& document, int width, int height, std::vector<uint32_t>* pixels) {
    pixels->clear();
    if (width < 1 || height < 1 || width > kMaxSvgPixels || height > kMaxSvgPixels) return false;
    pixels->assign(static_cast<size_t>(width) * height, 0);
    // The bitmap draws straight into the caller's buffer.
    Gdiplus::Bitmap bitmap(width, height, width * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels->data()));
    if (bitmap.GetLastStatus() != Gdiplus::Ok) {
        pixels->clear();
        return false;
    }
    {
        Gdiplus::Graphics g(&bitmap);
        if (g.GetLastStatus() != Gdiplus::Ok) {
            pixels->clear();
            return false;
        }
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        // Pixel centres at half coordinates, as the SVG coordinate system has them.
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        g.SetCompositingMode(Gdiplus::CompositingModeSourceOver);
        const Mapping m = MapViewBox(document, width, height);
        for (const svg::Shape& shape : document.shapes) DrawShape(&g, shape, m);
        g.Flush(Gdiplus::FlushIntentionSync);
    }
    return true;
}

}  // namespace vekui
