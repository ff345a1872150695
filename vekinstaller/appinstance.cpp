#include "appinstance.h"

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>

#include "utility/base/handles.h"
#include "utility/base/trace.h"

namespace {

// Full access for Administrators and SYSTEM, nothing for anyone else: the
// installer runs elevated, and a process that cannot open the guard must
// not be able to take it over either.
constexpr wchar_t kGuardSddl[] = L"D:(A;;GA;;;BA)(A;;GA;;;SY)";

struct LocalFreeTraits {
    static PSECURITY_DESCRIPTOR Invalid() { return nullptr; }
    static void Close(PSECURITY_DESCRIPTOR p) { ::LocalFree(p); }
};
using UniqueDescriptor = vek::UniqueResource<PSECURITY_DESCRIPTOR, LocalFreeTraits>;

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

    UniqueDescriptor descriptor;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kGuardSddl, SDDL_REVISION_1, descriptor.put(), nullptr);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};

    HANDLE mutex = ::CreateMutexW(descriptor ? &attributes : nullptr, FALSE, name.c_str());
    const bool other = HeldByAnotherInstance(mutex != nullptr, ::GetLastError());
    if (other) {
        if (mutex) ::CloseHandle(mutex);
        BringRunningInstallerToFront();
    }
    return other;  // our own mutex stays open for the life of the process
}

bool HeldByAnotherInstance(bool created, DWORD error) {
    // A guard that exists but is not ours to open belongs to another
    // installer all the same; any other failure counts as no guard.
    return created ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}
