// The soft shadow around a caption-less window: a layered, click-through
// window kept just below it, the same place plus a margin, shown while the
// window is shown and not minimised.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include "utility/vekui/win/gdihandles.h"
#include "utility/vekui/win/surface.h"

namespace vekui {

class CShadowWnd {
public:
    CShadowWnd() = default;
    ~CShadowWnd() = default;
    CShadowWnd(const CShadowWnd&) = delete;
    CShadowWnd& operator=(const CShadowWnd&) = delete;

    bool Create(HWND target);
    void Destroy();
    void SetDpi(int dpi);
    // Follows the target's place, z-order and visibility.
    void Follow();

private:
    bool Render(SIZE windowSize);
    int Margin() const;

    HWND target_ = nullptr;
    UniqueWindow hwnd_;
    CSurface surface_;
    SIZE rendered_ = {};
    int dpi_ = 96;
};

// Shadow opacity (0..255) of a point at distance d outside the window's
// edge for a shadow of width margin: smooth fall-off to 0 at the margin.
int ShadowAlpha(double distance, int margin);

}  // namespace vekui
