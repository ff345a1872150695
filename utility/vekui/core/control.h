// The control tree. Controls keep their state and draw themselves through
// IPainter; the manager (uimanager.h) routes input to them and sizes them.
// Nothing here knows Windows. Positions are device pixels of the window;
// attribute values are 100 % lengths, scaled by the manager's DPI.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "utility/vekui/core/events.h"
#include "utility/vekui/core/geometry.h"
#include "utility/vekui/core/imagespec.h"
#include "utility/vekui/core/painter.h"

namespace vekui {

class CUiManager;
class CContainerUI;

// Side of the parent a floating control keeps to ("floatalign").
enum FloatAlign : unsigned {
    kFloatLeft = 1, kFloatRight = 2, kFloatCenter = 4,
    kFloatTop = 8, kFloatBottom = 16, kFloatVCenter = 32,
};

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // The layout element name: "Control", "Label", "Button", ...
    virtual std::string_view GetClass() const;

    // Applies one layout attribute; unknown names are ignored, malformed
    // values keep the attribute's previous value.
    virtual void SetAttribute(std::string_view name, std::string_view value);

    const std::string& GetName() const;
    void SetName(std::string name);
    const std::wstring& GetText() const;
    virtual void SetText(std::wstring text);
    const std::wstring& GetToolTip() const;
    void SetToolTip(std::wstring text);
    const std::wstring& GetUserData() const;
    void SetUserData(std::wstring data);
    uintptr_t GetTag() const;
    void SetTag(uintptr_t tag);

    bool IsVisible() const;          // itself and every parent
    virtual void SetVisible(bool visible);
    bool IsEnabled() const;
    virtual void SetEnabled(bool enabled);
    bool IsFocused() const;
    void SetFocus();                 // through the manager
    bool IsTabStop() const;          // "TabSuppot", visible and enabled
    virtual bool IsInputControl() const;  // takes the mouse (buttons, options, edits)

    bool IsFloat() const;
    unsigned GetFloatAlign() const;
    const Rect& GetFloatPos() const;     // "pos", 100 % units
    const Rect& GetPadding() const;      // 100 % units
    int GetFixedWidth() const;           // 0: take what the layout gives
    int GetFixedHeight() const;
    void SetFixedWidth(int width);
    void SetFixedHeight(int height);

    Color GetBkColor() const;
    void SetBkColor(Color color);
    const ImageSpec& GetBkImage() const;
    void SetBkImage(std::string_view spec);

    // Layout: the wanted size for the available space (device pixels);
    // a 0 in either direction means "stretch".
    virtual Size EstimateSize(Size available);
    virtual void SetPos(const Rect& pos);
    const Rect& GetPos() const;

    virtual void Paint(IPainter& painter, const Rect& dirty);
    virtual void DoEvent(UiEvent& event);

    void Invalidate();
    // Per-control timers; they come back as "timer" notifications and as
    // EventType::Timer events.
    bool SetTimer(uintptr_t id, unsigned elapseMs);
    void KillTimer(uintptr_t id);

    CContainerUI* GetParent() const;
    CUiManager* GetManager() const;
    virtual void SetManager(CUiManager* manager, CContainerUI* parent);
    // The control at a point among this one and its children (visible,
    // enabled or not), or nullptr.
    virtual CControlUI* FindControlAt(Point pt);

protected:
    virtual void PaintBkColor(IPainter& painter);
    virtual void PaintBkImage(IPainter& painter);
    virtual void PaintStatusImage(IPainter& painter);
    virtual void PaintText(IPainter& painter);
    int Scaled(int length) const;    // 100 % length at the manager's DPI
    Rect ScaledRect(const Rect& r) const;
    // The pointer is over the control / the left button went down on it
    // and is still held.
    bool IsHot() const { return m_hot; }
    void SetHotState(bool hot);
    // Called by SetPos: the control's rectangle moved or resized.
    void NoteMoved(const Rect& old);
    void NeedParentUpdate();

    std::string m_name;
    std::wstring m_text;
    std::wstring m_tooltip;
    std::wstring m_userData;
    uintptr_t m_tag = 0;
    bool m_visible = true;
    bool m_enabled = true;
    bool m_tabStop = false;
    bool m_float = false;
    bool m_hot = false;
    unsigned m_floatAlign = 0;
    Rect m_floatPos;
    Rect m_padding;
    int m_width = 0;
    int m_height = 0;
    bool m_horzCenter = false;
    bool m_vertCenter = false;
    Color m_bkColor = 0;
    ImageSpec m_bkImage;
    Rect m_pos;
    CUiManager* m_manager = nullptr;
    CContainerUI* m_parent = nullptr;

public:
    bool IsHorzPaddingCenter() const { return m_horzCenter; }
    bool IsVertPaddingCenter() const { return m_vertCenter; }
    bool IsSelfVisible() const { return m_visible; }
    bool IsSelfEnabled() const { return m_enabled; }
};

}  // namespace vekui
