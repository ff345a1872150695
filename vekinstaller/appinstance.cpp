#include "appinstance.h"

#include <cwchar>

#include "utility/base/trace.h"

std::wstring InstanceMutexName(const std::wstring& baseName, long long appId) {
    wchar_t name[MAX_PATH] = {};
    if (appId != 0) {
        _snwprintf(name, MAX_PATH - 1, L"%s%d", baseName.c_str(), static_cast<int>(appId));
    } else {
        _snwprintf(name, MAX_PATH - 1, L"%s", baseName.c_str());
    }
    return name;
}

HANDLE CreateAppInstance(const std::wstring& baseName, long long appId) {
    const std::wstring name = InstanceMutexName(baseName, appId);
    vek::Trace(L" szObjectName = %s ", name.c_str());

    // A NULL DACL: installers of every user and session share the guard.
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, TRUE};

    HANDLE mutex = ::CreateMutexW(&attributes, FALSE, name.c_str());
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND running = ::FindWindowW(L"CDlgInstall", nullptr)) {
            ::SwitchToThisWindow(running, TRUE);
        }
        return mutex;
    }
    return nullptr;  // our own mutex stays open for the life of the process
}
