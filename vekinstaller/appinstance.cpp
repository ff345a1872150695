#include "appinstance.h"

#include <cwchar>

#include "utility/base/guardmutex.h"
#include "utility/base/handles.h"
#include "utility/base/trace.h"

namespace {

void BringRunningInstallerToFront() {
    if (HWND running = ::FindWindowW(L"CDlgInstall", nullptr)) ::SwitchToThisWindow(running, TRUE);
}

}  // namespace

std::wstring InstanceMutexName(const std::wstring& baseName, long long appId) {
    wchar_t name[MAX_PATH] = {};
    if (appId != 0) {
        _snwprintf(name, MAX_PATH - 1, L"%s%d", baseName.c_str(), static_cast<int>(appId));
    } else {
        _snwprintf(name, MAX_PATH - 1, L"%s", baseName.c_str());
    }
    return name;
}

bool CreateAppInstance(const std::wstring& baseName, long long appId) {
    const std::wstring name = InstanceMutexName(baseName, appId);
    vek::Trace(L" szObjectName = %s ", name.c_str());

    DWORD error = ERROR_SUCCESS;
    vek::UniqueHandle mutex = vek::CreateGuardMutex(name, &error);
    const bool other = vek::HeldByAnotherInstance(mutex.valid(), error);
    if (other) {
        BringRunningInstallerToFront();
    } else {
        mutex.release();  // our own mutex stays open for the life of the process
    }
    return other;
}
