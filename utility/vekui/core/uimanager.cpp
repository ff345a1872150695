#include "utility/vekui/core/uimanager.h"

#include <algorithm>

#include "utility/vekui/core/controls.h"

namespace vekui {
namespace {

constexpr unsigned kKeyTab = 0x09;  // VK_TAB

UiEvent MakeEvent(EventType type, Point pt = {}, unsigned modifiers = 0) {
    UiEvent event;
    event.type = type;
    event.pt = pt;
    event.modifiers = modifiers;
    return event;
}

bool IsInside(const CControlUI* control, const CControlUI* ancestor) {
    for (const CControlUI* c = control; c; c = c->GetParent()) {
        if (c == ancestor) return true;
    }
    return false;
}

// Every control below (and including) root in document order.
template <class F> void ForEach(CControlUI* root, F&& visit) {
    if (!root) return;
    visit(root);
    if (auto* container = dynamic_cast<CContainerUI*>(root)) {
        for (int i = 0; i < container->GetCount(); ++i) ForEach(container->GetItemAt(i), visit);
    }
}

}  // namespace

CUiManager::CUiManager(IWindowBridge* bridge) : m_bridge(bridge) {}

CUiManager::~CUiManager() {
    // The tree goes first: its controls report their removal here.
    m_root.reset();
}

WindowAttributes& CUiManager::Window() { return m_window; }
CFontTable& CUiManager::Fonts() { return m_fonts; }

void CUiManager::SetRoot(std::unique_ptr<CControlUI> root) {
    m_root.reset();
    m_root = std::move(root);
    if (m_root) m_root->SetManager(this, nullptr);
    NeedUpdate();
}

CControlUI* CUiManager::GetRoot() const { return m_root.get(); }
int CUiManager::Dpi() const { return m_dpi; }

void CUiManager::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == m_dpi) return;
    m_dpi = dpi;
    NeedUpdate();
    if (m_haveClient) Invalidate({0, 0, m_client.cx, m_client.cy});
}

Size CUiManager::WindowSize() const {
    return {ScaleLength(m_window.size.cx, m_dpi), ScaleLength(m_window.size.cy, m_dpi)};
}

void CUiManager::Layout(Size client) {
    if (m_haveClient && client == m_client && !m_needUpdate) return;
    m_client = client;
    m_haveClient = true;
    m_needUpdate = true;
    DoLayout();
}

// Layout runs at once when the client size is known: the tree is small,
// and the moved controls invalidate their old and new places.
void CUiManager::NeedUpdate() {
    m_needUpdate = true;
    if (m_haveClient && !m_inLayout) DoLayout();
}

void CUiManager::DoLayout() {
    if (!m_root || !m_needUpdate) return;
    m_inLayout = true;
    m_needUpdate = false;
    m_root->SetPos({0, 0, m_client.cx, m_client.cy});
    m_inLayout = false;
}

void CUiManager::Paint(IPainter& painter, const Rect& dirty) {
    if (m_needUpdate && m_haveClient) DoLayout();
    if (m_root) m_root->Paint(painter, dirty);
}

CControlUI* CUiManager::FindControl(std::string_view name) const {
    CControlUI* found = nullptr;
    if (name.empty()) return nullptr;
    ForEach(m_root.get(), [&](CControlUI* c) {
        if (!found && c->GetName() == name) found = c;
    });
    return found;
}

CControlUI* CUiManager::FindControlAt(Point pt) const {
    return m_root ? m_root->FindControlAt(pt) : nullptr;
}

bool CUiManager::IsCaptionAt(Point pt) const {
    const Rect inset = ScaleRect(m_window.caption, m_dpi);
    const Rect band{inset.left, inset.top, m_client.cx - inset.right, inset.bottom};
    if (!band.Contains(pt)) return false;
    const CControlUI* hit = FindControlAt(pt);
    return !hit || !hit->IsInputControl();
}

// The control that takes the mouse at a point: the topmost visible one,
// unless it is disabled (it still covers what lies below).
CControlUI* CUiManager::InputTargetAt(Point pt) const {
    CControlUI* hit = FindControlAt(pt);
    return hit && hit->IsEnabled() ? hit : nullptr;
}

void CUiManager::SendEvent(CControlUI* control, UiEvent event) {
    if (control) control->DoEvent(event);
}

void CUiManager::SetHot(CControlUI* control) {
    if (control == m_hot) return;
    CControlUI* old = m_hot;
    m_hot = control;
    if (old) {
        if (!old->GetToolTip().empty()) m_bridge->HideTooltip();
        UiEvent leave = MakeEvent(EventType::MouseLeave, m_lastMouse);
        SendEvent(old, leave);
    }
    if (control) {
        UiEvent enter = MakeEvent(EventType::MouseEnter, m_lastMouse);
        SendEvent(control, enter);
        if (!control->GetToolTip().empty()) m_bridge->ShowTooltip(control->GetToolTip(), control->GetPos());
    }
}

void CUiManager::HandleMouseMove(Point pt, unsigned modifiers) {
    m_lastMouse = pt;
    UiEvent move = MakeEvent(EventType::MouseMove, pt, modifiers);
    if (m_capture) {
        SendEvent(m_capture, move);
        return;
    }
    SetHot(InputTargetAt(pt));
    SendEvent(m_hot, move);
}

void CUiManager::HandleMouseLeave() {
    if (!m_capture) SetHot(nullptr);
}

void CUiManager::HandleButtonDown(Point pt, unsigned modifiers) {
    m_lastMouse = pt;
    CControlUI* target = InputTargetAt(pt);
    SetHot(target);
    if (!target) return;
    if (target->IsTabStop()) SetFocus(target);
    if (target->IsInputControl()) {
        m_capture = target;
        m_bridge->SetCapture();
    }
    UiEvent down = MakeEvent(EventType::ButtonDown, pt, modifiers);
    SendEvent(target, down);
}

void CUiManager::HandleButtonUp(Point pt, unsigned modifiers) {
    m_lastMouse = pt;
    CControlUI* target = m_capture;
    if (!target) return;
    m_capture = nullptr;
    m_bridge->ReleaseCapture();
    UiEvent up = MakeEvent(EventType::ButtonUp, pt, modifiers);
    SendEvent(target, up);
    // The control under the pointer may have changed while it was held.
    HandleMouseMove(pt, modifiers);
}

void CUiManager::HandleDoubleClick(Point pt, unsigned modifiers) {
    // The second press of a double click acts as a press; the control that
    // took it hears of the double click too (the path field selects a word).
    HandleButtonDown(pt, modifiers);
    if (!m_capture) return;
    UiEvent dbl = MakeEvent(EventType::DoubleClick, pt, modifiers);
    SendEvent(m_capture, dbl);
}

void CUiManager::HandleCaptureLost() {
    CControlUI* target = m_capture;
    if (!target) return;
    m_capture = nullptr;
    UiEvent lost = MakeEvent(EventType::CaptureLost);
    SendEvent(target, lost);
}

bool CUiManager::HandleKeyDown(unsigned key, unsigned modifiers) {
    if (key == kKeyTab && !(modifiers & (kModControl | kModAlt))) {
        MoveFocus(!(modifiers & kModShift));
        return true;
    }
    if (!m_focus) return false;
    UiEvent event = MakeEvent(EventType::KeyDown, {}, modifiers);
    event.key = key;
    m_focus->DoEvent(event);
    return event.handled;
}

bool CUiManager::HandleChar(wchar_t ch) {
    if (!m_focus) return false;
    UiEvent event = MakeEvent(EventType::Char);
    event.ch = ch;
    m_focus->DoEvent(event);
    return event.handled;
}

void CUiManager::HandleTimer(CControlUI* control, uintptr_t id) {
    if (!control) return;
    UiEvent event = MakeEvent(EventType::Timer);
    event.timerId = id;
    control->DoEvent(event);
    SendNotify(control, "timer", id);
}

void CUiManager::HandleActivate(bool active) {
    if (active) return;
    HandleCaptureLost();
    SetHot(nullptr);
}

CControlUI* CUiManager::GetFocus() const { return m_focus; }

void CUiManager::SetFocus(CControlUI* control) {
    if (control == m_focus) return;
    if (control && (!control->IsVisible() || !control->IsEnabled())) return;
    CControlUI* old = m_focus;
    m_focus = control;
    if (old) {
        UiEvent kill;
        kill.type = EventType::KillFocus;
        old->DoEvent(kill);
        SendNotify(old, "killfocus");
    }
    if (control && m_focus == control) {
        UiEvent set;
        set.type = EventType::SetFocus;
        control->DoEvent(set);
        SendNotify(control, "setfocus");
    }
}

bool CUiManager::MoveFocus(bool forward) {
    std::vector<CControlUI*> stops;
    ForEach(m_root.get(), [&](CControlUI* c) {
        if (c->IsTabStop()) stops.push_back(c);
    });
    if (stops.empty()) return false;
    auto it = std::find(stops.begin(), stops.end(), m_focus);
    size_t next;
    if (it == stops.end()) {
        next = forward ? 0 : stops.size() - 1;
    } else {
        const size_t at = static_cast<size_t>(it - stops.begin());
        next = forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
    }
    SetFocus(stops[next]);
    return true;
}

void CUiManager::AddNotifier(INotifyUI* notifier) {
    if (notifier && std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end())
        m_notifiers.push_back(notifier);
}

void CUiManager::RemoveNotifier(INotifyUI* notifier) {
    m_notifiers.erase(std::remove(m_notifiers.begin(), m_notifiers.end(), notifier), m_notifiers.end());
}

void CUiManager::SendNotify(CControlUI* sender, std::string_view type, uintptr_t wParam, intptr_t lParam) {
    TNotifyUI msg;
    msg.type = std::string(type);
    msg.sender = sender;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.pt = m_lastMouse;
    // A handler may add or remove handlers: walk a copy.
    const std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* n : notifiers) {
        if (std::find(m_notifiers.begin(), m_notifiers.end(), n) != m_notifiers.end()) n->Notify(msg);
    }
}

IWindowBridge& CUiManager::Bridge() const { return *m_bridge; }

void CUiManager::Invalidate(const Rect& rect) {
    if (!rect.IsEmpty()) m_bridge->Invalidate(rect);
}

void CUiManager::ControlRemoved(CControlUI* control) {
    if (m_hot == control) {
        m_hot = nullptr;
        if (!control->GetToolTip().empty()) m_bridge->HideTooltip();
    }
    if (m_capture == control) {
        m_capture = nullptr;
        m_bridge->ReleaseCapture();
    }
    if (m_focus == control) m_focus = nullptr;
    m_bridge->KillAllTimers(control);
}

void CUiManager::ControlHidden(CControlUI* control) {
    if (m_capture && IsInside(m_capture, control)) {
        m_bridge->ReleaseCapture();
        HandleCaptureLost();
    }
    if (m_hot && IsInside(m_hot, control)) SetHot(nullptr);
    if (m_focus && IsInside(m_focus, control)) SetFocus(nullptr);
}

}  // namespace vekui
