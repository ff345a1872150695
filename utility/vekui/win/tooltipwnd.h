// The tooltip of the control under the mouse: a tracking tooltip control
// in the layout's colours, placed below the control.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <string>

#include "utility/vekui/core/geometry.h"
#include "utility/vekui/win/gdihandles.h"

namespace vekui {

class CTooltipWnd {
public:
    void SetColors(Color background, Color text);
    // controlRect in the owner's client coordinates.
    void Show(HWND owner, const std::wstring& text, const Rect& controlRect);
    void Hide();
    void Destroy() { hwnd_.reset(); }

private:
    bool Ensure(HWND owner);

    UniqueWindow hwnd_;
    HWND owner_ = nullptr;
    std::wstring text_;
    Color background_ = 0xFFFFFFFF;
    Color textColor_ = 0xFF000000;
};

}  // namespace vekui
