// Where the input method shows its composition window: at the caret.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include "utility/vekui/core/geometry.h"

namespace vekui {

// caret in the window's client coordinates. False without imm32.
bool SetImeCompositionPosition(HWND hwnd, const Rect& caret);

}  // namespace vekui
