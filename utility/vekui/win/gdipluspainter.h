// IPainter over GDI+ on a premultiplied 32-bit surface: images of the
// skin through the cache at the painter's scale, fills and text, with a
// stack of clip rectangles.
#pragma once

#include <memory>
#include <vector>

#include "utility/vekui/core/painter.h"
#include "utility/vekui/win/gdiplusinc.h"
#include "utility/vekui/win/imagecache.h"
#include "utility/vekui/win/surface.h"
#include "utility/vekui/win/textrenderer.h"

namespace vekui {

class CGdiplusPainter : public IPainter {
public:
    // Draws into the surface's pixels; everything outside clip is kept.
    CGdiplusPainter(CSurface& surface, CImageCache& images, CTextRenderer& text, int dpi, const Rect& clip);
    ~CGdiplusPainter() override;
    bool ok() const;

    int Dpi() const override { return dpi_; }
    Size MeasureText(const std::wstring& text, int fontId) override;
    bool DrawImage(const ImageSpec& image, const Rect& controlRect) override;
    void FillRect(const Rect& rect, Color color) override;
    void DrawText(const Rect& rect, const std::wstring& text, int fontId, Color color, unsigned style) override;
    void PushClip(const Rect& rect) override;
    void PopClip() override;

private:
    void ApplyClip();

    std::unique_ptr<Gdiplus::Bitmap> target_;
    std::unique_ptr<Gdiplus::Graphics> graphics_;
    CImageCache& images_;
    CTextRenderer& text_;
    int dpi_;
    std::vector<Rect> clips_;
};

// The image's cell in the pixels of the picture that is drawn: the scale's
// own cell when the layout gives one for it, else the 100 % cell scaled to
// the picture's scale, cut to the picture. The whole picture without a cell.
Rect ImageCell(const ImageSpec& image, int pictureWidth, int pictureHeight, int picturePercent);
// Where the image goes: its dest scaled and placed in the control, or the
// whole control.
Rect ImageDest(const ImageSpec& image, const Rect& controlRect, int dpi);

}  // namespace vekui
