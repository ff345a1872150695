// Containers and the layout arithmetic of the flow: fixed lengths, stretch,
// padding, centring across the flow, floats placed by "pos"/"floatalign".
#include <algorithm>

#include "utility/vekui/core/attrvalue.h"
#include "utility/vekui/core/controls.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui {
namespace {

bool InFlow(const CControlUI& c) { return c.IsSelfVisible() && !c.IsFloat(); }

// One child's share along the flow.
struct FlowItem {
    CControlUI* control;
    Size wanted;
    Rect pad;
};

}  // namespace

CContainerUI::~CContainerUI() {
    // Children first, while this container is still whole for ControlRemoved.
    while (!m_items.empty()) m_items.pop_back();
}

std::string_view CContainerUI::GetClass() const { return "Container"; }

void CContainerUI::SetAttribute(std::string_view name, std::string_view value) {
    Rect rect;
    int number = 0;
    if (name == "inset") {
        if (ParseRectValue(value, &rect)) m_inset = rect, NeedParentUpdate();
    } else if (name == "childpadding") {
        if (ParseIntValue(value, &number)) m_childPadding = number, NeedParentUpdate();
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CContainerUI::Add(std::unique_ptr<CControlUI> child) {
    if (!child) return;
    child->SetManager(m_manager, this);
    m_items.push_back(std::move(child));
    NeedParentUpdate();
}

void CContainerUI::RemoveAll() {
    if (m_items.empty()) return;
    Invalidate();
    while (!m_items.empty()) m_items.pop_back();
    NeedParentUpdate();
}

int CContainerUI::GetCount() const { return static_cast<int>(m_items.size()); }

CControlUI* CContainerUI::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? m_items[index].get() : nullptr;
}

int CContainerUI::GetItemIndex(const CControlUI* child) const {
    for (int i = 0; i < GetCount(); ++i) {
        if (m_items[i].get() == child) return i;
    }
    return -1;
}

CControlUI* CContainerUI::FindSubControl(std::string_view name) const {
    if (name.empty()) return nullptr;
    for (const auto& item : m_items) {
        if (item->GetName() == name) return item.get();
        if (auto* inner = dynamic_cast<CContainerUI*>(item.get())) {
            if (CControlUI* found = inner->FindSubControl(name)) return found;
        }
    }
    return nullptr;
}

void CContainerUI::SetManager(CUiManager* manager, CContainerUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (auto& item : m_items) item->SetManager(manager, this);
}

Rect CContainerUI::InnerRect() const {
    const Rect inset = ScaledRect(m_inset);
    return {m_pos.left + inset.left, m_pos.top + inset.top, m_pos.right - inset.right, m_pos.bottom - inset.bottom};
}

void CContainerUI::SetPos(const Rect& pos) {
    CControlUI::SetPos(pos);
    LayoutFlow(InnerRect());
    for (auto& item : m_items) {
        if (item->IsSelfVisible() && item->IsFloat()) LayoutFloat(item.get());
    }
}

void CContainerUI::PlaceAcross(int start, int span, int padBefore, int padAfter, int fixed, bool center,
                               int* outStart, int* outEnd) {
    const int room = std::max(0, span - padBefore - padAfter);
    const int length = fixed > 0 ? fixed : room;
    *outStart = start + padBefore + (center ? (room - length) / 2 : 0);
    *outEnd = *outStart + length;
}

void CContainerUI::LayoutFlow(const Rect& inner) {
    const Size available{inner.Width(), inner.Height()};
    for (auto& item : m_items) {
        if (!InFlow(*item)) continue;
        const Size wanted = item->EstimateSize(available);
        const Rect pad = ScaledRect(item->GetPadding());
        Rect r;
        PlaceAcross(inner.left, inner.Width(), pad.left, pad.right, wanted.cx, item->IsHorzPaddingCenter(), &r.left,
                    &r.right);
        PlaceAcross(inner.top, inner.Height(), pad.top, pad.bottom, wanted.cy, item->IsVertPaddingCenter(), &r.top,
                    &r.bottom);
        item->SetPos(r);
    }
}

// A float sits relative to the container's rectangle: "floatalign" names
// the side it keeps to in a direction, otherwise "pos" places it; a right
// or bottom of 0 in "pos" takes the fixed (or estimated) length.
void CContainerUI::LayoutFloat(CControlUI* child) {
    const Rect pos = ScaledRect(child->GetFloatPos());
    const Size wanted = child->EstimateSize({m_pos.Width(), m_pos.Height()});
    const unsigned align = child->GetFloatAlign();
    auto place = [](int start, int span, int lo, int hi, int fixed, bool toEnd, bool toCenter, int* a, int* b) {
        const int length = hi > lo ? hi - lo : fixed > 0 ? fixed : std::max(0, span - lo);
        if (toEnd) *a = start + span - length;
        else if (toCenter) *a = start + (span - length) / 2;
        else *a = start + lo;
        *b = *a + length;
    };
    Rect r;
    place(m_pos.left, m_pos.Width(), pos.left, pos.right, wanted.cx, align & kFloatRight, align & kFloatCenter,
          &r.left, &r.right);
    place(m_pos.top, m_pos.Height(), pos.top, pos.bottom, wanted.cy, align & kFloatBottom, align & kFloatVCenter,
          &r.top, &r.bottom);
    child->SetPos(r);
}

void CContainerUI::Paint(IPainter& painter, const Rect& dirty) {
    if (!m_visible || m_pos.Intersect(dirty).IsEmpty()) return;
    CControlUI::Paint(painter, dirty);
    painter.PushClip(m_pos);
    // The flow first, floats above it (hit testing agrees).
    for (int pass = 0; pass < 2; ++pass) {
        for (auto& item : m_items) {
            if (item->IsFloat() == (pass == 1)) item->Paint(painter, dirty);
        }
    }
    painter.PopClip();
}

CControlUI* CContainerUI::FindControlAt(Point pt) {
    if (!m_visible || !m_pos.Contains(pt)) return nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
            if ((*it)->IsFloat() != (pass == 0)) continue;
            if (CControlUI* hit = (*it)->FindControlAt(pt)) return hit;
        }
    }
    return this;
}

// Children stack along the flow: fixed lengths first, the rest shared
// equally by the stretching ones (the last takes the odd pixels).
void CContainerUI::LayoutLine(const Rect& inner, bool vertical) {
    const int span = vertical ? inner.Height() : inner.Width();
    const int gap = Scaled(m_childPadding);
    std::vector<FlowItem> flow;
    int used = 0, stretch = 0;
    for (const auto& item : m_items) {
        if (!InFlow(*item)) continue;
        FlowItem f{item.get(), item->EstimateSize({inner.Width(), inner.Height()}), ScaledRect(item->GetPadding())};
        const int fixed = vertical ? f.wanted.cy : f.wanted.cx;
        used += (vertical ? f.pad.top + f.pad.bottom : f.pad.left + f.pad.right) + std::max(0, fixed);
        if (fixed <= 0) ++stretch;
        if (!flow.empty()) used += gap;
        flow.push_back(f);
    }
    int left = std::max(0, span - used);
    int cursor = vertical ? inner.top : inner.left;
    // Centring along the flow: with nothing to stretch, a line that holds a
    // centred child is centred as a whole.
    const bool centred = std::any_of(flow.begin(), flow.end(), [&](const FlowItem& f) {
        return vertical ? f.control->IsVertPaddingCenter() : f.control->IsHorzPaddingCenter();
    });
    if (stretch == 0 && centred) cursor += left / 2;
    for (const FlowItem& f : flow) {
        int length = vertical ? f.wanted.cy : f.wanted.cx;
        if (length <= 0) {
            length = stretch == 1 ? left : left / stretch;
            left -= length;
            --stretch;
        }
        Rect r;
        if (vertical) {
            r.top = cursor + f.pad.top;
            r.bottom = r.top + length;
            PlaceAcross(inner.left, inner.Width(), f.pad.left, f.pad.right, f.wanted.cx,
                        f.control->IsHorzPaddingCenter(), &r.left, &r.right);
            cursor = r.bottom + f.pad.bottom + gap;
        } else {
            r.left = cursor + f.pad.left;
            r.right = r.left + length;
            PlaceAcross(inner.top, inner.Height(), f.pad.top, f.pad.bottom, f.wanted.cy,
                        f.control->IsVertPaddingCenter(), &r.top, &r.bottom);
            cursor = r.right + f.pad.right + gap;
        }
        f.control->SetPos(r);
    }
}

std::string_view CVerticalLayoutUI::GetClass() const { return "VerticalLayout"; }
void CVerticalLayoutUI::LayoutFlow(const Rect& inner) { LayoutLine(inner, true); }
std::string_view CHorizontalLayoutUI::GetClass() const { return "HorizontalLayout"; }
void CHorizontalLayoutUI::LayoutFlow(const Rect& inner) { LayoutLine(inner, false); }

std::string_view CTabLayoutUI::GetClass() const { return "TabLayout"; }

void CTabLayoutUI::SetAttribute(std::string_view name, std::string_view value) {
    int number = 0;
    if (name == "selectedid") {
        if (ParseIntValue(value, &number) && number >= 0) {
            if (GetCount() == 0) m_curSel = number;
            else SelectItem(number);
        }
    } else {
        CContainerUI::SetAttribute(name, value);
    }
}

int CTabLayoutUI::GetCurSel() const { return m_curSel; }

void CTabLayoutUI::Add(std::unique_ptr<CControlUI> child) {
    if (!child) return;
    child->SetVisible(GetCount() == m_curSel);
    CContainerUI::Add(std::move(child));
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) return false;
    m_curSel = index;
    // Hide first, so that focus and hot state leave the old view.
    for (int i = 0; i < GetCount(); ++i) {
        if (i != index) m_items[i]->SetVisible(false);
    }
    m_items[index]->SetVisible(true);
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* child) { return SelectItem(GetItemIndex(child)); }

}  // namespace vekui
