// The product's helper library for its installer: the desktop shortcut and
// the install folder's permissions. stdcall exports under their plain names
// (undecorated on i686 too), found with GetProcAddress.
#include <windows.h>

#include "product/func_helper/desktoplink.h"
#include "product/func_helper/lockdown.h"

#define FUNC_HELPER_EXPORT extern "C" __declspec(dllexport)

// `windowClass` is the running product's window class. The shortcut needs
// nothing from a running program, so it is not used; like every argument it
// must be given.
FUNC_HELPER_EXPORT void WINAPI CreateDesktopShortcut(const wchar_t* target, const wchar_t* windowClass,
                                                     const wchar_t* name) {
    if (!windowClass) return;
    try {
        funchelper::CreateDesktopShortcut(target, name);
    } catch (...) {  // out of memory: no shortcut, and nothing thrown into the caller
    }
}

// The name is the one the installer's script calls; what it does is make the
// install folder safe (lockdown.h), not open it to more accounts.
FUNC_HELPER_EXPORT BOOL WINAPI AllowAccountPrivilege(const wchar_t* path) {
    try {
        return funchelper::LockDownFolder(path) ? TRUE : FALSE;
    } catch (...) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}
