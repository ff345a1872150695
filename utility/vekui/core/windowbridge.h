// What the control tree asks of the window that shows it. The Windows side
// implements it on the real window; tests implement it with recorders.
#pragma once

#include <cstdint>
#include <string>

#include "utility/vekui/core/geometry.h"
#include "utility/vekui/core/painter.h"

namespace vekui {

class CControlUI;

enum class CursorKind { Arrow, Hand, IBeam };

class IWindowBridge {
public:
    virtual ~IWindowBridge() = default;
    // The area needs repainting; the window paints it soon, once.
    virtual void Invalidate(const Rect& rect) = 0;
    // Per-control timers: (control, id) pairs; a due timer comes back as
    // CUiManager::HandleTimer(control, id).
    virtual bool SetTimer(CControlUI* control, uintptr_t id, unsigned elapseMs) = 0;
    virtual void KillTimer(CControlUI* control, uintptr_t id) = 0;
    virtual void KillAllTimers(CControlUI* control) = 0;
    virtual void SetCapture() = 0;
    virtual void ReleaseCapture() = 0;
    virtual void SetCursor(CursorKind cursor) = 0;
    virtual std::wstring GetClipboardText() = 0;
    virtual void SetClipboardText(const std::wstring& text) = 0;
    // Where the input method shows its composition: the caret's rectangle.
    virtual void SetImePosition(const Rect& caret) = 0;
    virtual void ShowTooltip(const std::wstring& text, const Rect& controlRect) = 0;
    virtual void HideTooltip() = 0;
    virtual void Minimize() = 0;
    virtual ITextMetrics& TextMetrics() = 0;
};

}  // namespace vekui
