// Per-monitor DPI, from Shcore.dll loaded by its full system path.
#pragma once

#include "utility/vekui/win/winheaders.h"

namespace vekui {

// The effective DPI of the monitor; the primary monitor's for nullptr;
// 96 where Shcore.dll or the monitor's DPI is not available.
int MonitorDpi(HMONITOR monitor);
// The DPI of the monitor that shows most of the window (primary if none).
int WindowDpi(HWND hwnd);

}  // namespace vekui
