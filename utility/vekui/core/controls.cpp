// Labels, buttons, options, the progress bar and the path field.
#include "utility/vekui/core/controls.h"

#include <algorithm>

#include "utility/vekui/core/attrvalue.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui {
namespace {

constexpr unsigned kKeySpace = 0x20;   // VK_SPACE
constexpr unsigned kKeyReturn = 0x0D;  // VK_RETURN

bool SetImage(std::string_view value, ImageSpec* image) {
    *image = ParseImageSpec(value);
    return true;
}

const ImageSpec* FirstSet(std::initializer_list<const ImageSpec*> images) {
    for (const ImageSpec* image : images) {
        if (image && !image->Empty()) return image;
    }
    return nullptr;
}

}  // namespace

// ---- Label ----

std::string_view CLabelUI::GetClass() const { return "Label"; }

void CLabelUI::SetAttribute(std::string_view name, std::string_view value) {
    int number = 0;
    Rect rect;
    Color color = 0;
    if (name == "font") { if (ParseIntValue(value, &number)) SetFont(number); }
    else if (name == "textcolor") { if (ParseColorValue(value, &color)) SetTextColor(color); }
    else if (name == "disabledtextcolor") { if (ParseColorValue(value, &color)) m_disabledTextColor = color; }
    else if (name == "align") {
        if (value == "left") m_align = kTextLeft;
        else if (value == "center") m_align = kTextCenter;
        else if (value == "right") m_align = kTextRight;
    } else if (name == "valign") {
        if (value == "top") m_valign = kTextTop;
        else if (value == "vcenter") m_valign = kTextVCenter;
        else if (value == "bottom") m_valign = kTextBottom;
    } else if (name == "textpadding") {
        if (ParseRectValue(value, &rect)) m_textPadding = rect, NeedParentUpdate();
    } else if (name == "autocalcwidth") {
        if (ParseBoolValue(value, &m_autoCalcWidth)) NeedParentUpdate();
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CLabelUI::SetText(std::wstring text) {
    if (text == m_text) return;
    CControlUI::SetText(std::move(text));
    if (m_autoCalcWidth) NeedParentUpdate();
}

Size CLabelUI::EstimateSize(Size available) {
    Size size = CControlUI::EstimateSize(available);
    if (m_autoCalcWidth && m_manager) {
        const Rect pad = ScaledRect(m_textPadding);
        size.cx = m_manager->Bridge().TextMetrics().MeasureText(m_text, m_font).cx + pad.left + pad.right;
    }
    return size;
}

Color CLabelUI::GetTextColor() const { return m_textColor; }
void CLabelUI::SetTextColor(Color color) {
    if (color == m_textColor) return;
    m_textColor = color;
    Invalidate();
}
int CLabelUI::GetFont() const { return m_font; }
void CLabelUI::SetFont(int fontId) {
    if (fontId == m_font) return;
    m_font = fontId;
    Invalidate();
    if (m_autoCalcWidth) NeedParentUpdate();
}
const Rect& CLabelUI::GetTextPadding() const { return m_textPadding; }
bool CLabelUI::IsAutoCalcWidth() const { return m_autoCalcWidth; }

unsigned CLabelUI::TextStyle() const { return m_align | m_valign | kTextSingleLine | kTextEndEllipsis; }

Rect CLabelUI::TextRect() const {
    const Rect pad = ScaledRect(m_textPadding);
    return {m_pos.left + pad.left, m_pos.top + pad.top, m_pos.right - pad.right, m_pos.bottom - pad.bottom};
}

int CLabelUI::CurrentFont() const { return m_font; }

Color CLabelUI::CurrentTextColor() const {
    return !IsEnabled() && m_disabledTextColor ? m_disabledTextColor : m_textColor;
}

void CLabelUI::PaintText(IPainter& painter) {
    if (m_text.empty()) return;
    painter.DrawText(TextRect(), m_text, CurrentFont(), CurrentTextColor(), TextStyle());
}

// ---- Button ----

std::string_view CButtonUI::GetClass() const { return "Button"; }

void CButtonUI::SetAttribute(std::string_view name, std::string_view value) {
    int number = 0;
    Color color = 0;
    if (name == "normalimage") SetImage(value, &m_normalImage), Invalidate();
    else if (name == "hotimage") SetImage(value, &m_hotImage), Invalidate();
    else if (name == "pushedimage") SetImage(value, &m_pushedImage), Invalidate();
    else if (name == "focusedimage") SetImage(value, &m_focusedImage), Invalidate();
    else if (name == "disabledimage") SetImage(value, &m_disabledImage), Invalidate();
    else if (name == "hotfont") { if (ParseIntValue(value, &number)) m_hotFont = number; }
    else if (name == "hottextcolor") { if (ParseColorValue(value, &color)) m_hotTextColor = color; }
    else if (name == "pushedtextcolor") { if (ParseColorValue(value, &color)) m_pushedTextColor = color; }
    else CLabelUI::SetAttribute(name, value);
}

bool CButtonUI::IsInputControl() const { return true; }

void CButtonUI::DoEvent(UiEvent& event) {
    switch (event.type) {
    case EventType::MouseEnter: SetHotState(true); break;
    case EventType::MouseLeave: SetHotState(false); break;
    case EventType::ButtonDown:
    case EventType::DoubleClick:
        m_pushed = true;
        SetHotState(true);
        Invalidate();
        break;
    case EventType::MouseMove:
        if (m_pushed) SetHotState(m_pos.Contains(event.pt));
        break;
    case EventType::ButtonUp:
        if (!m_pushed) break;
        m_pushed = false;
        Invalidate();
        if (m_pos.Contains(event.pt)) Activate();
        break;
    case EventType::CaptureLost:
        if (m_pushed) m_pushed = false, Invalidate();
        break;
    case EventType::KeyDown:
        if (event.key == kKeySpace || event.key == kKeyReturn) {
            event.handled = true;
            Activate();
        }
        break;
    case EventType::SetFocus:
    case EventType::KillFocus: Invalidate(); break;
    default: break;
    }
}

void CButtonUI::Activate() {
    if (m_manager && IsEnabled()) m_manager->SendNotify(this, "click");
}

const ImageSpec* CButtonUI::ButtonStateImage() const {
    if (!IsEnabled()) return FirstSet({&m_disabledImage, &m_normalImage});
    if (m_pushed && m_hot) return FirstSet({&m_pushedImage, &m_hotImage, &m_normalImage});
    if (m_hot) return FirstSet({&m_hotImage, &m_normalImage});
    if (IsFocused()) return FirstSet({&m_focusedImage, &m_normalImage});
    return FirstSet({&m_normalImage});
}

const ImageSpec* CButtonUI::StateImage() const { return ButtonStateImage(); }

void CButtonUI::PaintStatusImage(IPainter& painter) {
    if (const ImageSpec* image = StateImage()) painter.DrawImage(*image, m_pos);
}

int CButtonUI::CurrentFont() const { return m_hot && m_hotFont >= 0 ? m_hotFont : m_font; }

Color CButtonUI::CurrentTextColor() const {
    if (IsEnabled() && m_pushed && m_hot && m_pushedTextColor) return m_pushedTextColor;
    if (IsEnabled() && m_hot && m_hotTextColor) return m_hotTextColor;
    return CLabelUI::CurrentTextColor();
}

// ---- Option ----

std::string_view COptionUI::GetClass() const { return "Option"; }

void COptionUI::SetAttribute(std::string_view name, std::string_view value) {
    bool flag = false;
    if (name == "selected") { if (ParseBoolValue(value, &flag)) Selected(flag, false); }
    else if (name == "group") m_group = std::string(value);
    else if (name == "selectedimage") SetImage(value, &m_selectedImage), Invalidate();
    else if (name == "selectedhotimage") SetImage(value, &m_selectedHotImage), Invalidate();
    else if (name == "selectedpushedimage") SetImage(value, &m_selectedPushedImage), Invalidate();
    else CButtonUI::SetAttribute(name, value);
}

bool COptionUI::IsSelected() const { return m_selected; }

void COptionUI::Selected(bool selected, bool notify) {
    if (selected == m_selected) return;
    m_selected = selected;
    Invalidate();
    // One of a group: selecting it clears the others.
    if (selected && !m_group.empty() && m_manager && m_manager->GetRoot()) {
        if (auto* root = dynamic_cast<CContainerUI*>(m_manager->GetRoot())) {
            for (COptionUI* other : root->FindSubControlsByClass<COptionUI>()) {
                if (other != this && other->m_group == m_group) other->Selected(false, notify);
            }
        }
    }
    if (notify && m_manager) m_manager->SendNotify(this, "selectchanged");
}

// A click toggles; an option of a group stays selected when clicked again.
void COptionUI::Activate() {
    if (!m_manager || !IsEnabled()) return;
    if (m_group.empty() || !m_selected) Selected(!m_selected, true);
    CButtonUI::Activate();
}

const ImageSpec* COptionUI::StateImage() const {
    if (!m_selected || !IsEnabled()) return ButtonStateImage();
    if (m_pushed && m_hot) {
        if (const ImageSpec* image = FirstSet({&m_selectedPushedImage, &m_selectedHotImage, &m_selectedImage}))
            return image;
    } else if (m_hot) {
        if (const ImageSpec* image = FirstSet({&m_selectedHotImage, &m_selectedImage})) return image;
    } else if (!m_selectedImage.Empty()) {
        return &m_selectedImage;
    }
    return ButtonStateImage();
}

// ---- Progress ----

std::string_view CProgressUI::GetClass() const { return "Progress"; }

void CProgressUI::SetAttribute(std::string_view name, std::string_view value) {
    int number = 0;
    if (name == "foreimage") SetImage(value, &m_foreImage), Invalidate();
    else if (name == "min") { if (ParseIntValue(value, &number) && number <= m_max) m_min = number, SetValue(m_value); }
    else if (name == "max") { if (ParseIntValue(value, &number) && number >= m_min) m_max = number, SetValue(m_value); }
    else if (name == "value") { if (ParseIntValue(value, &number)) SetValue(number); }
    else if (name == "hor") ParseBoolValue(value, &m_horizontal);
    else CLabelUI::SetAttribute(name, value);
}

int CProgressUI::GetMinValue() const { return m_min; }
int CProgressUI::GetMaxValue() const { return m_max; }
int CProgressUI::GetValue() const { return m_value; }

void CProgressUI::SetValue(int value) {
    value = std::clamp(value, m_min, m_max);
    if (value == m_value) return;
    m_value = value;
    Invalidate();
}

Rect CProgressUI::ForeRect() const {
    const long long range = static_cast<long long>(m_max) - m_min;
    const long long done = static_cast<long long>(m_value) - m_min;
    Rect r = m_pos;
    if (range <= 0) return r;
    if (m_horizontal) r.right = r.left + static_cast<int>(r.Width() * done / range);
    else r.top = r.bottom - static_cast<int>(r.Height() * done / range);
    return r;
}

// The fill is revealed, not stretched: the whole picture is drawn across
// the bar and clipped to the filled part.
void CProgressUI::PaintStatusImage(IPainter& painter) {
    const Rect fore = ForeRect();
    if (m_foreImage.Empty() || fore.IsEmpty()) return;
    painter.PushClip(fore);
    painter.DrawImage(m_foreImage, m_pos);
    painter.PopClip();
}

}  // namespace vekui
