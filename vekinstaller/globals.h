// Process-wide values shared by the entry point and the installer window.
#pragma once

#include <windows.h>

// Window told when an install has finished (command-line key
// InstallListenWnd); 0 when none was named.
extern HWND g_hListenWnd;

// Sent with SendMessageW, wParam 0, lParam 0.
constexpr UINT UM_INSTALL_FINISHED = 3014;
