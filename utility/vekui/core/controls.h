// The control kinds of the layout. A kind derives from the kind it extends
// (an option is a button, a button is a label), so a look-up that asks for
// CButtonUI also accepts a COptionUI. Public members listed here are what
// the window and its controller use.
#pragma once

#include "utility/vekui/core/control.h"

namespace vekui {

class CContainerUI : public CControlUI {
public:
    // Children in document order; the container owns them.
    void Add(std::unique_ptr<CControlUI> child);
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
};

class CVerticalLayoutUI : public CContainerUI {};
class CHorizontalLayoutUI : public CContainerUI {};

class CTabLayoutUI : public CContainerUI {
public:
    int GetCurSel() const;
    bool SelectItem(int index);
    bool SelectItem(CControlUI* child);
};

class CLabelUI : public CControlUI {
public:
    Color GetTextColor() const;
    void SetTextColor(Color color);
    int GetFont() const;
    void SetFont(int fontId);
    const Rect& GetTextPadding() const;  // 100 % units
    bool IsAutoCalcWidth() const;
};

class CButtonUI : public CLabelUI {
public:
    // State images: "normalimage", "hotimage", "pushedimage",
    // "focusedimage", "disabledimage"; "hotfont", "hottextcolor".
};

class COptionUI : public CButtonUI {
public:
    bool IsSelected() const;
    // Raises "selectchanged" when notify is true and the state changes.
    void Selected(bool selected, bool notify = true);
};

class CProgressUI : public CLabelUI {
public:
    int GetMinValue() const;
    int GetMaxValue() const;
    int GetValue() const;
    void SetValue(int value);   // clamped to [min, max]
};

// The single-line path field: an editor of its own, drawn with the skin.
class CRichEditUI : public CLabelUI {
public:
    void SetText(std::wstring text) override;
    void SetSel(int start, int end);    // -1 end: to the end
    int GetSelStart() const;
    int GetSelEnd() const;
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
