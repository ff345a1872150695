// One window's control tree and everything that is not Windows about it:
// the window's layout attributes and font table, sizing, painting order,
// hot/pushed/capture tracking, focus and Tab order, timers and the
// notification dispatch. The window feeds it input in device pixels of the
// client area and paints through it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "utility/vekui/core/control.h"
#include "utility/vekui/core/events.h"
#include "utility/vekui/core/fonttable.h"
#include "utility/vekui/core/windowbridge.h"

namespace vekui {

// The <Window> element (sizes in 100 % units).
struct WindowAttributes {
    Size size;
    Size minInfo;
    Rect caption;              // "caption": left, top, right, bottom insets; bottom = caption height
    Rect sizeBox;
    bool bkTrans = false;
    bool showShadow = false;
    bool autoDpi = false;
    bool gdiplusText = false;
    int textRenderingHint = 0;
    bool outlineText = false;
    Color tooltipBkColor = 0xFFFFFFFF;
    Color tooltipTextColor = 0xFF000000;
};

class CUiManager {
public:
    explicit CUiManager(IWindowBridge* bridge);
    ~CUiManager();
    CUiManager(const CUiManager&) = delete;
    CUiManager& operator=(const CUiManager&) = delete;

    WindowAttributes& Window();
    CFontTable& Fonts();
    void SetRoot(std::unique_ptr<CControlUI> root);
    CControlUI* GetRoot() const;

    int Dpi() const;
    void SetDpi(int dpi);                   // relayouts and repaints everything
    Size WindowSize() const;                // the window's size at the DPI
    // Sizes every control for the client size (device pixels) when needed.
    void Layout(Size client);
    void NeedUpdate();                      // a size or visibility changed

    void Paint(IPainter& painter, const Rect& dirty);

    CControlUI* FindControl(std::string_view name) const;
    template <class T> T* FindControl(std::string_view name) const {
        return dynamic_cast<T*>(FindControl(name));
    }
    CControlUI* FindControlAt(Point pt) const;  // the topmost visible one
    // The point drags the window: inside the caption and not on an input control.
    bool IsCaptionAt(Point pt) const;

    // Input from the window, client coordinates in device pixels.
    void HandleMouseMove(Point pt, unsigned modifiers);
    void HandleMouseLeave();
    void HandleButtonDown(Point pt, unsigned modifiers);
    void HandleButtonUp(Point pt, unsigned modifiers);
    void HandleDoubleClick(Point pt, unsigned modifiers);
    void HandleCaptureLost();
    // Tab / Shift+Tab move the focus; other keys go to the focused control.
    // True when the key was used.
    bool HandleKeyDown(unsigned key, unsigned modifiers);
    bool HandleChar(wchar_t ch);
    void HandleTimer(CControlUI* control, uintptr_t id);
    void HandleActivate(bool active);

    CControlUI* GetFocus() const;
    void SetFocus(CControlUI* control);
    bool MoveFocus(bool forward);

    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* sender, std::string_view type, uintptr_t wParam = 0, intptr_t lParam = 0);

    // Services the controls use.
    IWindowBridge& Bridge() const;
    void Invalidate(const Rect& rect);
    void ControlRemoved(CControlUI* control);   // forgets hot, pushed, focus
    // The control (and what it holds) was hidden or disabled: it loses the
    // hot state, the capture and the focus.
    void ControlHidden(CControlUI* control);
    CControlUI* GetHot() const { return m_hot; }
    CControlUI* GetCapture() const { return m_capture; }

private:
    CControlUI* InputTargetAt(Point pt) const;
    void SetHot(CControlUI* control);
    void SendEvent(CControlUI* control, UiEvent event);
    void DoLayout();

    IWindowBridge* m_bridge;
    WindowAttributes m_window;
    CFontTable m_fonts;
    std::unique_ptr<CControlUI> m_root;
    std::vector<INotifyUI*> m_notifiers;
    int m_dpi = kBaseDpi;
    Size m_client;
    bool m_haveClient = false;
    bool m_needUpdate = true;
    bool m_inLayout = false;
    CControlUI* m_hot = nullptr;
    CControlUI* m_capture = nullptr;
    CControlUI* m_focus = nullptr;
    Point m_lastMouse{-1, -1};
};

}  // namespace vekui
