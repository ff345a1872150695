// Per-control timers on Win32 timers of one window: each (control, id)
// pair gets a window timer id of its own.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <cstdint>
#include <map>
#include <utility>

namespace vekui {

class CControlUI;

class CWinTimers {
public:
    bool Set(HWND hwnd, CControlUI* control, uintptr_t id, unsigned elapseMs);
    void Kill(HWND hwnd, CControlUI* control, uintptr_t id);
    void KillAll(HWND hwnd, CControlUI* control);
    void KillEverything(HWND hwnd);
    // The pair behind a window timer id; false when it is not ours.
    bool Find(UINT_PTR windowId, CControlUI** control, uintptr_t* id) const;

private:
    using Key = std::pair<CControlUI*, uintptr_t>;
    std::map<Key, UINT_PTR> byKey_;
    std::map<UINT_PTR, Key> byWindowId_;
    UINT_PTR next_ = 0x1000;
};

}  // namespace vekui
