#include "utility/vekui/win/gdipluspainter.h"

namespace vekui {
namespace {

Gdiplus::Color ToGdiplus(Color c) {
    return Gdiplus::Color(ColorAlpha(c), ColorRed(c), ColorGreen(c), ColorBlue(c));
}

Gdiplus::Rect ToGdiplus(const Rect& r) { return Gdiplus::Rect(r.left, r.top, r.Width(), r.Height()); }

Rect ScaleCell(const Rect& cell, int percent) {
    auto scale = [percent](int v) { return (v * percent + 50) / 100; };
    return {scale(cell.left), scale(cell.top), scale(cell.right), scale(cell.bottom)};
}

}  // namespace

Rect ImageCell(const ImageSpec& image, int pictureWidth, int pictureHeight, int picturePercent) {
    const Rect whole{0, 0, pictureWidth, pictureHeight};
    if (!image.hasSource) return whole;
    auto own = image.sourceAt.find(picturePercent);
    const Rect cell = own != image.sourceAt.end() ? own->second : ScaleCell(image.source, picturePercent);
    return cell.Intersect(whole);
}

Rect ImageDest(const ImageSpec& image, const Rect& controlRect, int dpi) {
    if (!image.hasDest) return controlRect;
    return ScaleRect(image.dest, dpi).Offset(controlRect.left, controlRect.top);
}

CGdiplusPainter::CGdiplusPainter(CSurface& surface, CImageCache& images, CTextRenderer& text, int dpi,
                                 const Rect& clip)
    : images_(images), text_(text), dpi_(dpi) {
    const Size size = surface.GetSize();
    if (!surface.Bits()) return;
    target_ = std::make_unique<Gdiplus::Bitmap>(size.cx, size.cy, surface.Stride(), PixelFormat32bppPARGB,
                                                reinterpret_cast<BYTE*>(surface.Bits()));
    if (target_->GetLastStatus() != Gdiplus::Ok) return;
    graphics_ = std::make_unique<Gdiplus::Graphics>(target_.get());
    graphics_->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics_->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics_->SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
    clips_.push_back(clip.Intersect({0, 0, size.cx, size.cy}));
    ApplyClip();
}

CGdiplusPainter::~CGdiplusPainter() {
    graphics_.reset();  // before the bitmap it draws on
}

bool CGdiplusPainter::ok() const { return graphics_ && graphics_->GetLastStatus() == Gdiplus::Ok; }

Size CGdiplusPainter::MeasureText(const std::wstring& text, int fontId) {
    return graphics_ ? text_.Measure(*graphics_, text, fontId, dpi_) : Size{};
}

bool CGdiplusPainter::DrawImage(const ImageSpec& image, const Rect& controlRect) {
    if (!graphics_ || image.Empty()) return false;
    const SkinImage picture = images_.Get(image.file, ScalePercent(dpi_));
    if (!picture.bitmap) return false;
    const Rect cell = ImageCell(image, static_cast<int>(picture.bitmap->GetWidth()),
                                static_cast<int>(picture.bitmap->GetHeight()), picture.percent);
    const Rect dest = ImageDest(image, controlRect, dpi_);
    if (cell.IsEmpty() || dest.IsEmpty()) return true;
    const bool exact = cell.Width() == dest.Width() && cell.Height() == dest.Height();
    // A 1:1 copy stays crisp; anything scaled is filtered, with the edges
    // clamped so that neighbouring cells do not bleed in.
    graphics_->SetInterpolationMode(exact ? Gdiplus::InterpolationModeNearestNeighbor
                                          : Gdiplus::InterpolationModeHighQualityBicubic);
    Gdiplus::ImageAttributes attributes;
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    if (image.fade < 255) {
        Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0},
                                        {0, 1, 0, 0, 0},
                                        {0, 0, 1, 0, 0},
                                        {0, 0, 0, image.fade / 255.0f, 0},
                                        {0, 0, 0, 0, 1}}};
        attributes.SetColorMatrix(&matrix);
    }
    return graphics_->DrawImage(picture.bitmap, ToGdiplus(dest), cell.left, cell.top, cell.Width(), cell.Height(),
                                Gdiplus::UnitPixel, &attributes) == Gdiplus::Ok;
}

void CGdiplusPainter::FillRect(const Rect& rect, Color color) {
    if (!graphics_ || rect.IsEmpty() || ColorAlpha(color) == 0) return;
    Gdiplus::SolidBrush brush(ToGdiplus(color));
    graphics_->FillRectangle(&brush, ToGdiplus(rect));
}

void CGdiplusPainter::DrawText(const Rect& rect, const std::wstring& text, int fontId, Color color,
                               unsigned style) {
    if (!graphics_) return;
    const bool clip = !(style & kTextNoClip);
    if (clip) PushClip(rect);
    text_.Draw(*graphics_, rect, text, fontId, dpi_, color, style);
    if (clip) PopClip();
}

void CGdiplusPainter::PushClip(const Rect& rect) {
    clips_.push_back(clips_.back().Intersect(rect));
    ApplyClip();
}

void CGdiplusPainter::PopClip() {
    if (clips_.size() > 1) clips_.pop_back();
    ApplyClip();
}

void CGdiplusPainter::ApplyClip() {
    if (graphics_) graphics_->SetClip(ToGdiplus(clips_.back()));
}

}  // namespace vekui
