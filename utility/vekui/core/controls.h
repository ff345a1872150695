// The control kinds of the layout. A kind derives from the kind it extends
// (an option is a button, a button is a label), so a look-up that asks for
// CButtonUI also accepts a COptionUI. Public members listed here are what
// the window and its controller use.
#pragma once

#include "utility/vekui/core/control.h"
#include "utility/vekui/core/texteditor.h"

namespace vekui {

class CContainerUI : public CControlUI {
public:
    ~CContainerUI() override;
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void SetPos(const Rect& pos) override;
    void Paint(IPainter& painter, const Rect& dirty) override;
    void SetManager(CUiManager* manager, CContainerUI* parent) override;
    CControlUI* FindControlAt(Point pt) override;
    // Children in document order; the container owns them.
    virtual void Add(std::unique_ptr<CControlUI> child);
    void RemoveAll();
    int GetCount() const;
    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(const CControlUI* child) const;
    // Look-ups inside this container (itself excluded), depth first in
    // document order.
    CControlUI* FindSubControl(std::string_view name) const;
    template <class T> T* FindSubControl(std::string_view name) const {
        return dynamic_cast<T*>(FindSubControl(name));
    }
    template <class T> std::vector<T*> FindSubControlsByClass() const;

protected:
    // The children's area: the rectangle less "inset".
    Rect InnerRect() const;
    // Places the children of the flow in the inner rectangle; a plain
    // container gives each of them the whole area (less its padding).
    virtual void LayoutFlow(const Rect& inner);
    void LayoutFloat(CControlUI* child);
    void LayoutLine(const Rect& inner, bool vertical);
    // A flow child's rectangle across the flow: its fixed length, centred
    // or kept to the start, else all of the span less its padding.
    static void PlaceAcross(int start, int span, int padBefore, int padAfter, int fixed, bool center,
                            int* outStart, int* outEnd);

    std::vector<std::unique_ptr<CControlUI>> m_items;
    Rect m_inset;
    int m_childPadding = 0;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    std::string_view GetClass() const override;

protected:
    void LayoutFlow(const Rect& inner) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    std::string_view GetClass() const override;

protected:
    void LayoutFlow(const Rect& inner) override;
};

class CTabLayoutUI : public CContainerUI {
public:
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    int GetCurSel() const;
    bool SelectItem(int index);
    bool SelectItem(CControlUI* child);
    // Only the selected child is visible.
    void Add(std::unique_ptr<CControlUI> child) override;

private:
    int m_curSel = 0;
};

class CLabelUI : public CControlUI {
public:
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void SetText(std::wstring text) override;
    Size EstimateSize(Size available) override;
    Color GetTextColor() const;
    void SetTextColor(Color color);
    int GetFont() const;
    void SetFont(int fontId);
    const Rect& GetTextPadding() const;  // 100 % units
    bool IsAutoCalcWidth() const;

protected:
    void PaintText(IPainter& painter) override;
    unsigned TextStyle() const;
    Rect TextRect() const;              // the rectangle less the text padding
    virtual int CurrentFont() const;
    virtual Color CurrentTextColor() const;

    Color m_textColor = 0xFF000000;
    Color m_disabledTextColor = 0;
    int m_font = -1;
    unsigned m_align = kTextLeft;
    unsigned m_valign = kTextVCenter;
    Rect m_textPadding;
    bool m_autoCalcWidth = false;
};

class CButtonUI : public CLabelUI {
public:
    // State images: "normalimage", "hotimage", "pushedimage",
    // "focusedimage", "disabledimage"; "hotfont", "hottextcolor".
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    bool IsInputControl() const override;
    void DoEvent(UiEvent& event) override;
    bool IsPushed() const { return m_pushed; }
    // What a click, Space or Enter does: raises "click".
    virtual void Activate();

protected:
    void PaintStatusImage(IPainter& painter) override;
    int CurrentFont() const override;
    Color CurrentTextColor() const override;
    // The image of the current state, or nullptr for none.
    virtual const ImageSpec* StateImage() const;
    const ImageSpec* ButtonStateImage() const;

    ImageSpec m_normalImage, m_hotImage, m_pushedImage, m_focusedImage, m_disabledImage;
    int m_hotFont = -1;
    Color m_hotTextColor = 0;
    Color m_pushedTextColor = 0;
    bool m_pushed = false;
};

class COptionUI : public CButtonUI {
public:
    bool IsSelected() const;
    // Raises "selectchanged" when notify is true and the state changes.
    void Selected(bool selected, bool notify = true);
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    void Activate() override;
    const std::string& GetGroup() const { return m_group; }

protected:
    const ImageSpec* StateImage() const override;

    bool m_selected = false;
    std::string m_group;
    ImageSpec m_selectedImage, m_selectedHotImage, m_selectedPushedImage;
};

class CProgressUI : public CLabelUI {
public:
    int GetMinValue() const;
    int GetMaxValue() const;
    int GetValue() const;
    void SetValue(int value);   // clamped to [min, max]
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    bool IsHorizontal() const { return m_horizontal; }
    // The filled part of the bar.
    Rect ForeRect() const;

protected:
    void PaintStatusImage(IPainter& painter) override;

    ImageSpec m_foreImage;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
    bool m_horizontal = true;
};

// The single-line path field: an editor of its own, drawn with the skin.
// The text, caret, selection and scroll live in the edit model; GetText()
// follows it. User edits raise "textchanged"; SetText does not.
class CRichEditUI : public CLabelUI {
public:
    // Filtered to one line; the caret goes to the end, no selection.
    void SetText(std::wstring text) override;
    // Anchor and caret; -1 end: to the end; -1 start: no selection.
    void SetSel(int start, int end);
    int GetSelStart() const;
    int GetSelEnd() const;
    std::string_view GetClass() const override;
    void SetAttribute(std::string_view name, std::string_view value) override;
    bool IsInputControl() const override;
    void DoEvent(UiEvent& event) override;
    void SetPos(const Rect& pos) override;
    const CTextEditModel& EditModel() const { return m_edit; }
    bool IsCaretShown() const { return m_caretShown; }

    static constexpr uintptr_t kCaretTimerId = 0x7EC0;
    static constexpr unsigned kCaretBlinkMs = 530;
    static constexpr Color kSelectionBkColor = 0xFF00B8E6;
    static constexpr Color kSelectionTextColor = 0xFFFFFFFF;

protected:
    void PaintStatusImage(IPainter& painter) override;
    void PaintText(IPainter& painter) override;
    // Editing hooks: the text model is wired in here.
    virtual void OnMouse(UiEvent& event);
    virtual void OnKey(UiEvent& event);
    virtual void OnFocusChanged(bool focused);

    ImageSpec m_normalImage, m_hotImage, m_pushedImage, m_focusedImage;
    bool m_pushed = false;
    bool m_multiline = false, m_rich = false, m_wantReturn = false, m_autoHScroll = true;
    bool m_autoSelAll = false, m_transparent = true, m_editUseCtrlBk = false;
    bool m_dpiTextPadding = false, m_caretFollowTextColor = false;
    Color m_nativeBkColor = 0;

private:
    void UpdateView();
    // After input: the text follows the model, the caret shows and blinks
    // anew, the input method follows the caret, the field repaints.
    void Changed(bool textChanged);
    void ShowCaret(bool show);
    void OnTimer(uintptr_t id);

    CTextEditModel m_edit;
    bool m_caretShown = false;
};

template <class T> std::vector<T*> CContainerUI::FindSubControlsByClass() const {
    std::vector<T*> found;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* child = GetItemAt(i);
        if (T* match = dynamic_cast<T*>(child)) found.push_back(match);
        if (auto* inner = dynamic_cast<CContainerUI*>(child)) {
            std::vector<T*> nested = inner->FindSubControlsByClass<T>();
            found.insert(found.end(), nested.begin(), nested.end());
        }
    }
    return found;
}

}  // namespace vekui
