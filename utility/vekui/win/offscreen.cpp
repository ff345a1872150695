#include "utility/vekui/win/offscreen.h"

#include "utility/vekui/core/layoutbuilder.h"
#include "utility/vekui/win/gdipluspainter.h"

namespace vekui {

COffscreenRenderer::COffscreenRenderer(const ISkinFiles& skin)
    : skin_(skin), manager_(this), images_(skin), text_(manager_.Fonts()) {
    measureBitmap_ = std::make_unique<Gdiplus::Bitmap>(1, 1, PixelFormat32bppPARGB);
    measureGraphics_ = std::make_unique<Gdiplus::Graphics>(measureBitmap_.get());
}

COffscreenRenderer::~COffscreenRenderer() {
    measureGraphics_.reset();
    measureBitmap_.reset();
}

bool COffscreenRenderer::Build(std::string_view layoutFile, std::string* error) {
    if (!gdiplus_.ok()) {
        if (error) *error = "GDI+ did not start";
        return false;
    }
    if (!BuildLayout(skin_, layoutFile, manager_, error)) return false;
    text_.SetRenderingHint(manager_.Window().textRenderingHint);
    return true;
}

Size COffscreenRenderer::MeasureText(const std::wstring& text, int fontId) {
    return text_.Measure(*measureGraphics_, text, fontId, manager_.Dpi());
}

bool COffscreenRenderer::Render(int dpi) {
    manager_.SetDpi(dpi);
    const Size size = manager_.WindowSize();
    if (!surface_.Resize(size)) return false;
    manager_.Layout(size);
    const Rect all{0, 0, size.cx, size.cy};
    CGdiplusPainter painter(surface_, images_, text_, dpi, all);
    if (!painter.ok()) return false;
    manager_.Paint(painter, all);
    return true;
}

}  // namespace vekui
