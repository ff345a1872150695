#include "privileges.h"

#include <windows.h>

#include "utility/base/handles.h"
#include "utility/base/trace.h"

namespace vek {

bool SetPrivilege(const std::wstring& name, bool enable) {
    UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put())) {
        TraceError(L"OpenProcessToken failed!");
        return false;
    }
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    if (!::LookupPrivilegeValueW(nullptr, name.c_str(), &privileges.Privileges[0].Luid)) {
        TraceError(L"LookupPrivilegeValue failed!");
        return false;
    }
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr)) {
        TraceError(L"AdjustTokenPrivileges failed!");
        return false;
    }
    return true;
}

}  // namespace vek
