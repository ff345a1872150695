// Windows headers for the window side, without the Win32 DrawText macro
// that would rename the painter's method.
#pragma once

#include <windows.h>

#ifdef DrawText
#undef DrawText
#endif
