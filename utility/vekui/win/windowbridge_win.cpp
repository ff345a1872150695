// The window's side of IWindowBridge: invalidation batching, timers,
// capture, cursor, clipboard, input method, tooltips, minimising.
#include "utility/vekui/win/clipboard.h"
#include "utility/vekui/win/imeposition.h"
#include "utility/vekui/win/windowimplbase.h"

namespace vekui {
void WindowImplBase::Invalidate(const Rect& rect) {
    dirty_.Add(rect.Intersect({0, 0, surface_.GetSize().cx, surface_.GetSize().cy}));
    if (dirty_.Empty() || paintPosted_ || !GetHWND()) return;
    paintPosted_ = PostMessage(PaintBatchMessage()) != FALSE;
}

bool WindowImplBase::SetTimer(CControlUI* control, uintptr_t id, unsigned elapseMs) {
    return GetHWND() && timers_.Set(GetHWND(), control, id, elapseMs);
}

void WindowImplBase::KillTimer(CControlUI* control, uintptr_t id) { timers_.Kill(GetHWND(), control, id); }

void WindowImplBase::KillAllTimers(CControlUI* control) { timers_.KillAll(GetHWND(), control); }

void WindowImplBase::SetCapture() { ::SetCapture(GetHWND()); }

void WindowImplBase::ReleaseCapture() {
    if (::GetCapture() == GetHWND()) ::ReleaseCapture();
}

void WindowImplBase::SetCursor(CursorKind cursor) {
    cursor_ = cursor;
    const wchar_t* id = cursor == CursorKind::Hand ? IDC_HAND : cursor == CursorKind::IBeam ? IDC_IBEAM : IDC_ARROW;
    ::SetCursor(::LoadCursorW(nullptr, id));
}

std::wstring WindowImplBase::GetClipboardText() { return ReadClipboardText(GetHWND()); }

void WindowImplBase::SetClipboardText(const std::wstring& text) { WriteClipboardText(GetHWND(), text); }

void WindowImplBase::SetImePosition(const Rect& caret) { SetImeCompositionPosition(GetHWND(), caret); }

void WindowImplBase::ShowTooltip(const std::wstring& text, const Rect& controlRect) {
    tooltip_.Show(GetHWND(), text, controlRect);
}

void WindowImplBase::HideTooltip() { tooltip_.Hide(); }

void WindowImplBase::Minimize() { ::ShowWindow(GetHWND(), SW_MINIMIZE); }

}  // namespace vekui
