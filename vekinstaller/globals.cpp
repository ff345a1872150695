#include "globals.h"

HWND g_hListenWnd = nullptr;

void NotifyInstallFinished() {
    if (!g_hListenWnd) return;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(g_hListenWnd, UM_INSTALL_FINISHED, 0, 0,
                          SMTO_NORMAL | SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG, kListenerWaitMs, &result);
}
