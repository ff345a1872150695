#include "utility/vekui/core/control.h"

#include "utility/vekui/core/attrvalue.h"
#include "utility/vekui/core/controls.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui {
namespace {

unsigned ParseFloatAlign(std::string_view text) {
    static const struct { const char* word; unsigned flag; } kWords[] = {
        {"left", kFloatLeft}, {"right", kFloatRight}, {"center", kFloatCenter},
        {"top", kFloatTop}, {"bottom", kFloatBottom}, {"vcenter", kFloatVCenter},
    };
    unsigned flags = 0;
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view word = text.substr(0, comma);
        while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
        while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
        for (const auto& w : kWords) {
            if (word == w.word) flags |= w.flag;
        }
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return flags;
}

}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_manager) m_manager->ControlRemoved(this);
}

std::string_view CControlUI::GetClass() const { return "Control"; }

void CControlUI::SetAttribute(std::string_view name, std::string_view value) {
    int number = 0;
    bool flag = false;
    Rect rect;
    if (name == "name") SetName(std::string(value));
    else if (name == "text") SetText(Utf8ToUtf16(value));
    else if (name == "tooltip") SetToolTip(Utf8ToUtf16(value));
    else if (name == "userdata") SetUserData(Utf8ToUtf16(value));
    else if (name == "tag") { if (ParseIntValue(value, &number)) SetTag(static_cast<uintptr_t>(number)); }
    else if (name == "visible") { if (ParseBoolValue(value, &flag)) SetVisible(flag); }
    else if (name == "enabled") { if (ParseBoolValue(value, &flag)) SetEnabled(flag); }
    else if (name == "width") { if (ParseIntValue(value, &number) && number >= 0) SetFixedWidth(number); }
    else if (name == "height") { if (ParseIntValue(value, &number) && number >= 0) SetFixedHeight(number); }
    else if (name == "padding") { if (ParseRectValue(value, &rect)) m_padding = rect, NeedParentUpdate(); }
    else if (name == "horzpaddingcenter") ParseBoolValue(value, &m_horzCenter);
    else if (name == "vertpaddingcenter") ParseBoolValue(value, &m_vertCenter);
    else if (name == "float") ParseBoolValue(value, &m_float);
    else if (name == "floatalign") m_floatAlign = ParseFloatAlign(value);
    else if (name == "pos") { if (ParseRectValue(value, &rect)) m_floatPos = rect; }
    else if (name == "bkcolor") { Color c; if (ParseColorValue(value, &c)) SetBkColor(c); }
    else if (name == "bkimage") SetBkImage(value);
    else if (name == "TabSuppot") ParseBoolValue(value, &m_tabStop);
}

const std::string& CControlUI::GetName() const { return m_name; }
void CControlUI::SetName(std::string name) { m_name = std::move(name); }
const std::wstring& CControlUI::GetText() const { return m_text; }

void CControlUI::SetText(std::wstring text) {
    if (text == m_text) return;
    m_text = std::move(text);
    Invalidate();
}

const std::wstring& CControlUI::GetToolTip() const { return m_tooltip; }
void CControlUI::SetToolTip(std::wstring text) { m_tooltip = std::move(text); }
const std::wstring& CControlUI::GetUserData() const { return m_userData; }
void CControlUI::SetUserData(std::wstring data) { m_userData = std::move(data); }
uintptr_t CControlUI::GetTag() const { return m_tag; }
void CControlUI::SetTag(uintptr_t tag) { m_tag = tag; }

bool CControlUI::IsVisible() const {
    for (const CControlUI* c = this; c; c = c->m_parent) {
        if (!c->m_visible) return false;
    }
    return true;
}

void CControlUI::SetVisible(bool visible) {
    if (visible == m_visible) return;
    Invalidate();   // the area it leaves
    m_visible = visible;
    if (m_manager && !visible) m_manager->ControlHidden(this);
    NeedParentUpdate();
    Invalidate();   // the area it takes, when the layout kept its place
}

bool CControlUI::IsEnabled() const {
    for (const CControlUI* c = this; c; c = c->m_parent) {
        if (!c->m_enabled) return false;
    }
    return true;
}

void CControlUI::SetEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    m_enabled = enabled;
    if (m_manager && !enabled) m_manager->ControlHidden(this);
    Invalidate();
}

bool CControlUI::IsFocused() const { return m_manager && m_manager->GetFocus() == this; }
void CControlUI::SetFocus() {
    if (m_manager) m_manager->SetFocus(this);
}
bool CControlUI::IsTabStop() const { return m_tabStop && IsVisible() && IsEnabled(); }
bool CControlUI::IsInputControl() const { return false; }
bool CControlUI::IsFloat() const { return m_float; }
unsigned CControlUI::GetFloatAlign() const { return m_floatAlign; }
const Rect& CControlUI::GetFloatPos() const { return m_floatPos; }
const Rect& CControlUI::GetPadding() const { return m_padding; }
int CControlUI::GetFixedWidth() const { return m_width; }
int CControlUI::GetFixedHeight() const { return m_height; }

void CControlUI::SetFixedWidth(int width) {
    if (width == m_width) return;
    m_width = width;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int height) {
    if (height == m_height) return;
    m_height = height;
    NeedParentUpdate();
}

Color CControlUI::GetBkColor() const { return m_bkColor; }
void CControlUI::SetBkColor(Color color) {
    if (color == m_bkColor) return;
    m_bkColor = color;
    Invalidate();
}
const ImageSpec& CControlUI::GetBkImage() const { return m_bkImage; }
void CControlUI::SetBkImage(std::string_view spec) {
    m_bkImage = ParseImageSpec(spec);
    Invalidate();
}

Size CControlUI::EstimateSize(Size) { return {Scaled(m_width), Scaled(m_height)}; }

void CControlUI::SetPos(const Rect& pos) {
    const Rect old = m_pos;
    m_pos = pos;
    NoteMoved(old);
}

const Rect& CControlUI::GetPos() const { return m_pos; }

void CControlUI::Paint(IPainter& painter, const Rect& dirty) {
    if (!m_visible || m_pos.Intersect(dirty).IsEmpty()) return;
    painter.PushClip(m_pos);
    PaintBkColor(painter);
    PaintBkImage(painter);
    PaintStatusImage(painter);
    PaintText(painter);
    painter.PopClip();
}

void CControlUI::DoEvent(UiEvent&) {}

void CControlUI::Invalidate() {
    if (m_manager && IsVisible()) m_manager->Invalidate(m_pos);
}

bool CControlUI::SetTimer(uintptr_t id, unsigned elapseMs) {
    return m_manager && m_manager->Bridge().SetTimer(this, id, elapseMs);
}

void CControlUI::KillTimer(uintptr_t id) {
    if (m_manager) m_manager->Bridge().KillTimer(this, id);
}

CContainerUI* CControlUI::GetParent() const { return m_parent; }
CUiManager* CControlUI::GetManager() const { return m_manager; }

void CControlUI::SetManager(CUiManager* manager, CContainerUI* parent) {
    m_manager = manager;
    m_parent = parent;
}

CControlUI* CControlUI::FindControlAt(Point pt) {
    return m_visible && m_pos.Contains(pt) ? this : nullptr;
}

void CControlUI::PaintBkColor(IPainter& painter) {
    if (ColorAlpha(m_bkColor) != 0) painter.FillRect(m_pos, m_bkColor);
}

void CControlUI::PaintBkImage(IPainter& painter) {
    if (!m_bkImage.Empty()) painter.DrawImage(m_bkImage, m_pos);
}

void CControlUI::PaintStatusImage(IPainter&) {}
void CControlUI::PaintText(IPainter&) {}

int CControlUI::Scaled(int length) const {
    return ScaleLength(length, m_manager ? m_manager->Dpi() : kBaseDpi);
}

Rect CControlUI::ScaledRect(const Rect& r) const {
    return ScaleRect(r, m_manager ? m_manager->Dpi() : kBaseDpi);
}

void CControlUI::SetHotState(bool hot) {
    if (hot == m_hot) return;
    m_hot = hot;
    Invalidate();
}

void CControlUI::NoteMoved(const Rect& old) {
    if (old == m_pos || !m_manager || !IsVisible()) return;
    m_manager->Invalidate(old);
    m_manager->Invalidate(m_pos);
}

void CControlUI::NeedParentUpdate() {
    if (m_manager) m_manager->NeedUpdate();
}

}  // namespace vekui
