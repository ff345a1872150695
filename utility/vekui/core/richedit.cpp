// The path field: the edit model driven by the control's events and drawn
// with the skin's frame images.
#include <algorithm>

#include "utility/vekui/core/attrvalue.h"
#include "utility/vekui/core/controls.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui {
namespace {

// The window's clipboard as the model sees it.
class BridgeClipboard : public ITextClipboard {
public:
    explicit BridgeClipboard(IWindowBridge& bridge) : m_bridge(bridge) {}
    std::wstring GetText() override { return m_bridge.GetClipboardText(); }
    void SetText(const std::wstring& text) override { m_bridge.SetClipboardText(text); }

private:
    IWindowBridge& m_bridge;
};

// Characters that stay the window's: Enter, Escape, Tab.
bool IsWindowChar(wchar_t ch) { return ch == L'\r' || ch == 0x1B || ch == L'\t'; }

void SetImage(std::string_view value, ImageSpec* image) { *image = ParseImageSpec(value); }

}  // namespace

std::string_view CRichEditUI::GetClass() const { return "RichEdit"; }

void CRichEditUI::SetAttribute(std::string_view name, std::string_view value) {
    Color color = 0;
    if (name == "normalimage") SetImage(value, &m_normalImage), Invalidate();
    else if (name == "hotimage") SetImage(value, &m_hotImage), Invalidate();
    else if (name == "pushedimage") SetImage(value, &m_pushedImage), Invalidate();
    else if (name == "focusedimage") SetImage(value, &m_focusedImage), Invalidate();
    else if (name == "multiline") ParseBoolValue(value, &m_multiline);
    else if (name == "rich") ParseBoolValue(value, &m_rich);
    else if (name == "wantreturn") ParseBoolValue(value, &m_wantReturn);
    else if (name == "autohscroll") ParseBoolValue(value, &m_autoHScroll);
    else if (name == "autoselall") ParseBoolValue(value, &m_autoSelAll);
    else if (name == "transparent") ParseBoolValue(value, &m_transparent);
    else if (name == "EditWndUseCtrlBk") ParseBoolValue(value, &m_editUseCtrlBk);
    else if (name == "RichEditDpiTextPadding") ParseBoolValue(value, &m_dpiTextPadding);
    else if (name == "CaretFollowTextColor") ParseBoolValue(value, &m_caretFollowTextColor);
    else if (name == "nativebkcolor") { if (ParseColorValue(value, &color)) m_nativeBkColor = color; }
    else CLabelUI::SetAttribute(name, value);
}

void CRichEditUI::SetText(std::wstring text) {
    UpdateView();
    m_edit.SetText(text);
    CLabelUI::SetText(m_edit.Text());
    Invalidate();
}

void CRichEditUI::SetSel(int start, int end) {
    UpdateView();
    const size_t length = m_edit.Text().size();
    if (start < 0) {
        m_edit.SetSel(m_edit.Caret(), m_edit.Caret());
    } else {
        m_edit.SetSel(static_cast<size_t>(start), end < 0 ? length : static_cast<size_t>(end));
    }
    Invalidate();
}

int CRichEditUI::GetSelStart() const { return static_cast<int>(m_edit.SelStart()); }
int CRichEditUI::GetSelEnd() const { return static_cast<int>(m_edit.SelEnd()); }
bool CRichEditUI::IsInputControl() const { return true; }

void CRichEditUI::SetPos(const Rect& pos) {
    CLabelUI::SetPos(pos);
    UpdateView();
}

// The text rectangle, font and metrics may change with the layout, the DPI
// or an attribute; the model is told before it measures.
void CRichEditUI::UpdateView() {
    TextView view;
    view.metrics = m_manager ? &m_manager->Bridge().TextMetrics() : nullptr;
    view.fontId = CurrentFont();
    view.rect = TextRect();
    view.caretWidth = std::max(1, Scaled(1));
    m_edit.SetView(view);
}

void CRichEditUI::DoEvent(UiEvent& event) {
    switch (event.type) {
    case EventType::MouseEnter:
        SetHotState(true);
        if (m_manager) m_manager->Bridge().SetCursor(CursorKind::IBeam);
        break;
    case EventType::MouseLeave:
        SetHotState(false);
        break;
    case EventType::ButtonDown:
    case EventType::DoubleClick:
    case EventType::MouseMove:
    case EventType::ButtonUp:
    case EventType::CaptureLost: OnMouse(event); break;
    case EventType::KeyDown:
    case EventType::Char: OnKey(event); break;
    case EventType::SetFocus: OnFocusChanged(true); break;
    case EventType::KillFocus: OnFocusChanged(false); break;
    case EventType::Timer: OnTimer(event.timerId); break;
    default: break;
    }
}

void CRichEditUI::OnMouse(UiEvent& event) {
    if (!m_manager) return;
    UpdateView();
    switch (event.type) {
    case EventType::ButtonDown:
        SetFocus();
        m_pushed = true;
        m_edit.MouseDown(event.pt.x, event.modifiers);
        Changed(false);
        break;
    case EventType::DoubleClick:
        m_edit.DoubleClick(event.pt.x);
        Changed(false);
        break;
    case EventType::MouseMove:
        m_manager->Bridge().SetCursor(CursorKind::IBeam);
        if (m_pushed) m_edit.MouseDrag(event.pt.x), Changed(false);
        break;
    default:   // the button is up or the capture gone: the drag ends
        m_pushed = false;
        break;
    }
}

void CRichEditUI::OnKey(UiEvent& event) {
    if (!m_manager || !IsEnabled()) return;
    UpdateView();
    if (event.type == EventType::Char) {
        if (IsWindowChar(event.ch)) return;
        event.handled = true;
        if (event.ch < 0x20) return;   // the key itself did the work
        Changed(m_edit.TypeChar(event.ch));
        return;
    }
    BridgeClipboard clipboard(m_manager->Bridge());
    const EditResult result = m_edit.KeyDown(event.key, event.modifiers, &clipboard);
    event.handled = result.handled;
    if (result.handled) Changed(result.textChanged);
}

void CRichEditUI::OnFocusChanged(bool focused) {
    if (focused) {
        UpdateView();
        if (m_autoSelAll) m_edit.SelectAll();
        Changed(false);
        return;
    }
    m_pushed = false;
    KillTimer(kCaretTimerId);
    m_caretShown = false;
    Invalidate();
}

void CRichEditUI::Changed(bool textChanged) {
    if (textChanged) m_text = m_edit.Text();
    if (IsFocused()) {
        ShowCaret(true);
        SetTimer(kCaretTimerId, kCaretBlinkMs);   // a new period from now
        m_manager->Bridge().SetImePosition(m_edit.CaretRect());
    }
    Invalidate();
    if (textChanged && m_manager) m_manager->SendNotify(this, "textchanged");
}

void CRichEditUI::ShowCaret(bool show) {
    if (show == m_caretShown) return;
    m_caretShown = show;
    if (m_manager && IsVisible()) m_manager->Invalidate(m_edit.CaretRect().Intersect(m_pos));
}

void CRichEditUI::OnTimer(uintptr_t id) {
    if (id != kCaretTimerId) return;
    if (!IsFocused()) {
        KillTimer(kCaretTimerId);
        return;
    }
    ShowCaret(!m_caretShown);
}

void CRichEditUI::PaintStatusImage(IPainter& painter) {
    const ImageSpec* image = &m_normalImage;
    auto pick = [&image](const ImageSpec& candidate) {
        if (!candidate.Empty()) image = &candidate;
    };
    if (IsFocused()) {
        pick(m_hotImage);
        pick(m_focusedImage);
    } else if (m_hot) {
        pick(m_hotImage);
    }
    if (!image->Empty()) painter.DrawImage(*image, m_pos);
}

// The whole line is drawn at the scroll offset and clipped to the text
// rectangle; the selection is the same line again in its own colour,
// clipped to the selection.
void CRichEditUI::PaintText(IPainter& painter) {
    UpdateView();
    const Rect textRect = TextRect();
    const std::wstring& text = m_edit.Text();
    const int origin = m_edit.TextOriginX();
    // Wider than the measured text, so that a drawing that comes out a
    // pixel wider than the measure is never cut or wrapped.
    const Rect line{origin, textRect.top, origin + m_edit.TextWidth() + textRect.Width(), textRect.bottom};
    const unsigned style = kTextLeft | m_valign | kTextSingleLine;
    painter.PushClip(textRect);
    if (!text.empty()) painter.DrawText(line, text, CurrentFont(), CurrentTextColor(), style);
    const Rect selection = IsFocused() ? m_edit.SelectionRect() : Rect{};
    if (!selection.IsEmpty()) {
        painter.FillRect(selection, kSelectionBkColor);
        painter.PushClip(selection);
        painter.DrawText(line, text, CurrentFont(), kSelectionTextColor, style);
        painter.PopClip();
    }
    if (IsFocused() && m_caretShown) {
        painter.FillRect(m_edit.CaretRect(), m_caretFollowTextColor ? CurrentTextColor() : 0xFF000000);
    }
    painter.PopClip();
}

}  // namespace vekui
