// Process-wide values shared by the entry point and the installer window.
#pragma once

#include <windows.h>

// Window told when an install has finished (command-line key
// InstallListenWnd); 0 when none was named.
extern HWND g_hListenWnd;

// wParam 0, lParam 0.
constexpr UINT UM_INSTALL_FINISHED = 3014;

// Tells g_hListenWnd that the install has finished and waits until it has
// handled the message, as long as its thread keeps answering: a listener
// that hangs lets the installer go on (after at most kListenerWaitMs).
constexpr UINT kListenerWaitMs = 30000;
void NotifyInstallFinished();
