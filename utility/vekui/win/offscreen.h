// A window's layout drawn without a window: the same control tree, painter
// and pictures into a surface of the window's size at a DPI. For rendering
// checks and previews; input-related requests of the controls do nothing.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "utility/vekui/core/uimanager.h"
#include "utility/vekui/core/windowbridge.h"
#include "utility/vekui/win/gdiplusscope.h"
#include "utility/vekui/win/imagecache.h"
#include "utility/vekui/win/surface.h"
#include "utility/vekui/win/textrenderer.h"

namespace vekui {

class COffscreenRenderer : private IWindowBridge, private ITextMetrics {
public:
    explicit COffscreenRenderer(const ISkinFiles& skin);
    ~COffscreenRenderer() override;

    bool Build(std::string_view layoutFile, std::string* error);
    CUiManager& Manager() { return manager_; }
    // Lays out and paints the whole window at the DPI.
    bool Render(int dpi);
    const CSurface& Surface() const { return surface_; }

private:
    void Invalidate(const Rect&) override {}
    bool SetTimer(CControlUI*, uintptr_t, unsigned) override { return true; }
    void KillTimer(CControlUI*, uintptr_t) override {}
    void KillAllTimers(CControlUI*) override {}
    void SetCapture() override {}
    void ReleaseCapture() override {}
    void SetCursor(CursorKind) override {}
    std::wstring GetClipboardText() override { return {}; }
    void SetClipboardText(const std::wstring&) override {}
    void SetImePosition(const Rect&) override {}
    void ShowTooltip(const std::wstring&, const Rect&) override {}
    void HideTooltip() override {}
    void Minimize() override {}
    ITextMetrics& TextMetrics() override { return *this; }
    Size MeasureText(const std::wstring& text, int fontId) override;

    GdiplusScope gdiplus_;  // outlives every GDI+ object below
    const ISkinFiles& skin_;
    CUiManager manager_;
    CImageCache images_;
    CTextRenderer text_;
    std::unique_ptr<Gdiplus::Bitmap> measureBitmap_;
    std::unique_ptr<Gdiplus::Graphics> measureGraphics_;
    CSurface surface_;
};

}  // namespace vekui
