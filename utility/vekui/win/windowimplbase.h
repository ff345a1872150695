// The base of a skinned window: a caption-less, layered window built from a
// layout of the in-memory skin, drawn with GDI+ into a premultiplied
// surface and shown with UpdateLayeredWindow, at the DPI of its monitor.
// Derived windows name their class and layout, handle notifications
// through a map, and hook messages with filters or HandleCustomMessage.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "utility/vekui/core/uimanager.h"
#include "utility/vekui/core/windowbridge.h"
#include "utility/vekui/win/dirtyregion.h"
#include "utility/vekui/win/gdiplusscope.h"
#include "utility/vekui/win/imagecache.h"
#include "utility/vekui/win/shadowwnd.h"
#include "utility/vekui/win/surface.h"
#include "utility/vekui/win/textrenderer.h"
#include "utility/vekui/win/tooltipwnd.h"
#include "utility/vekui/win/windowwnd.h"
#include "utility/vekui/win/wintimers.h"

namespace vekui {

class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT MessageHandler(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) = 0;
};

enum class SkinType { ZipResource, Folder };

class WindowImplBase;
// One line of a notification map: a notification type and a control name
// ("" for any control) to a member handler of the window.
using NotifyHandler = void (WindowImplBase::*)(TNotifyUI& msg);
struct NotifyMapEntry {
    const char* type;
    const char* name;
    NotifyHandler handler;
};

#define VEKUI_BEGIN_NOTIFY_MAP(cls)                                              \
    const ::vekui::NotifyMapEntry* GetNotifyMap() const override {               \
        using NotifySelf = cls;                                                   \
        static const ::vekui::NotifyMapEntry kEntries[] = {
#define VEKUI_NOTIFY(type, name, handler) \
    {type, name, static_cast<::vekui::NotifyHandler>(&NotifySelf::handler)},
#define VEKUI_END_NOTIFY_MAP() \
    {nullptr, nullptr, nullptr}};  \
    return kEntries;               \
    }

class WindowImplBase : public CWindowWnd, public INotifyUI, protected IWindowBridge {
public:
    WindowImplBase();
    ~WindowImplBase() override;

    // Creates the window hidden, at its layout's size for the DPI of the
    // monitor it will show on, with its first frame already drawn. nullptr
    // when the skin or the layout cannot be read.
    HWND Create(HWND parent, const wchar_t* title);
    using CWindowWnd::Create;

    CUiManager& Manager() { return manager_; }
    const std::string& LayoutError() const { return layoutError_; }
    int Dpi() const { return manager_.Dpi(); }

    void AddMessageFilter(IMessageFilterUI* filter);
    void RemoveMessageFilter(IMessageFilterUI* filter);

    // Dispatches through the derived map, then the base map.
    void Notify(TNotifyUI& msg) override;

    // Paints what is invalid now instead of at the next turn of the loop.
    void FlushPaint();
    // The window's pixels as last shown (premultiplied 0xAARRGGBB).
    const CSurface& Surface() const { return surface_; }

protected:
    // What the window is.
    virtual std::wstring GetSkinFile() = 0;                 // "Layout/Layout.xml"
    virtual std::wstring GetSkinFolder() { return L""; }
    virtual SkinType GetSkinType() { return SkinType::ZipResource; }
    // The skin to read; the resource skin by default.
    virtual const ISkinFiles* GetSkin();
    // Controls of the window's own kinds; none by default.
    virtual std::unique_ptr<CControlUI> CreateControl(std::string_view kind) { return nullptr; }
    // Called once the controls exist, before the first frame.
    virtual void OnLayoutReady() {}
    virtual const NotifyMapEntry* GetNotifyMap() const { return nullptr; }
    virtual LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hwnd) override;

    void OnMinimizeClick(TNotifyUI& msg);
    // After each update of the window's pixels; dirty in client pixels.
    virtual void OnFramePresented(const Rect& dirty) {}

    // IWindowBridge: what the controls ask of the window.
    void Invalidate(const Rect& rect) override;
    bool SetTimer(CControlUI* control, uintptr_t id, unsigned elapseMs) override;
    void KillTimer(CControlUI* control, uintptr_t id) override;
    void KillAllTimers(CControlUI* control) override;
    void SetCapture() override;
    void ReleaseCapture() override;
    void SetCursor(CursorKind cursor) override;
    std::wstring GetClipboardText() override;
    void SetClipboardText(const std::wstring& text) override;
    void SetImePosition(const Rect& caret) override;
    void ShowTooltip(const std::wstring& text, const Rect& controlRect) override;
    void HideTooltip() override;
    void Minimize() override;
    ITextMetrics& TextMetrics() override;

private:
    class Measurer;
    static UINT PaintBatchMessage();
    bool OnCreate();
    bool BuildFromSkin();
    void ApplyDpi(int dpi, const RECT* suggested);
    bool Dispatch(const NotifyMapEntry* map, TNotifyUI& msg);
    bool HandleInput(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    LRESULT HitTest(LPARAM lParam);
    void PaintDirty();
    void Present(const Rect& dirty);

    GdiplusScope gdiplus_;           // first in, last out: every GDI+ object below
    CUiManager manager_;
    std::unique_ptr<CImageCache> images_;
    std::unique_ptr<CTextRenderer> text_;
    std::unique_ptr<Measurer> measurer_;
    CSurface surface_;
    CDirtyRegion dirty_;
    bool paintPosted_ = false;
    CShadowWnd shadow_;
    CTooltipWnd tooltip_;
    CWinTimers timers_;
    std::vector<IMessageFilterUI*> filters_;
    CursorKind cursor_ = CursorKind::Arrow;
    bool trackingLeave_ = false;
    std::string layoutError_;
};

}  // namespace vekui
