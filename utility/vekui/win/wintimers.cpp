#include "utility/vekui/win/wintimers.h"

#include <vector>

namespace vekui {

bool CWinTimers::Set(HWND hwnd, CControlUI* control, uintptr_t id, unsigned elapseMs) {
    const Key key{control, id};
    auto found = byKey_.find(key);
    // Setting a running timer again restarts it with the new interval.
    const UINT_PTR windowId = found != byKey_.end() ? found->second : next_++;
    if (!::SetTimer(hwnd, windowId, elapseMs, nullptr)) return false;
    byKey_[key] = windowId;
    byWindowId_[windowId] = key;
    return true;
}

void CWinTimers::Kill(HWND hwnd, CControlUI* control, uintptr_t id) {
    auto found = byKey_.find({control, id});
    if (found == byKey_.end()) return;
    ::KillTimer(hwnd, found->second);
    byWindowId_.erase(found->second);
    byKey_.erase(found);
}

void CWinTimers::KillAll(HWND hwnd, CControlUI* control) {
    std::vector<uintptr_t> ids;
    for (const auto& entry : byKey_)
        if (entry.first.first == control) ids.push_back(entry.first.second);
    for (uintptr_t id : ids) Kill(hwnd, control, id);
}

void CWinTimers::KillEverything(HWND hwnd) {
    for (const auto& entry : byWindowId_) ::KillTimer(hwnd, entry.first);
    byKey_.clear();
    byWindowId_.clear();
}

bool CWinTimers::Find(UINT_PTR windowId, CControlUI** control, uintptr_t* id) const {
    auto found = byWindowId_.find(windowId);
    if (found == byWindowId_.end()) return false;
    *control = found->second.first;
    *id = found->second.second;
    return true;
}

}  // namespace vekui
