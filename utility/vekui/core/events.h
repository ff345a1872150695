// Input as the framework's controls see it, and the notifications they
// raise towards the window's handlers.
#pragma once

#include <cstdint>
#include <string>

#include "utility/vekui/core/geometry.h"

namespace vekui {

class CControlUI;

enum ModifierKeys : unsigned { kModShift = 1, kModControl = 2, kModAlt = 4 };

enum class EventType {
    MouseEnter,
    MouseLeave,
    MouseMove,     // also while the control holds the capture
    ButtonDown,    // left button
    ButtonUp,
    DoubleClick,
    SetFocus,
    KillFocus,
    KeyDown,       // key: a Windows virtual-key code (VK_*)
    Char,          // ch: one UTF-16 unit of committed text
    Timer,         // timerId
    CaptureLost,   // the control held the capture and lost it: no click
};

struct UiEvent {
    EventType type = EventType::MouseMove;
    Point pt;               // window client coordinates, device pixels
    unsigned key = 0;
    wchar_t ch = 0;
    unsigned modifiers = 0;
    uintptr_t timerId = 0;
    bool handled = false;   // set by the control that used a key
};

// Notification types in use: "click", "selectchanged", "timer" (wParam =
// timer id), "setfocus", "killfocus", "textchanged", "windowinit".
struct TNotifyUI {
    std::string type;
    CControlUI* sender = nullptr;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    Point pt;
};

class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

}  // namespace vekui
