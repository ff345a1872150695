#include "guardmutex.h"

#include <sddl.h>

namespace vek {

namespace {

constexpr wchar_t kGuardSddl[] = L"D:(A;;GA;;;BA)(A;;GA;;;SY)";

}  // namespace

UniqueHandle CreateGuardMutex(const std::wstring& name, DWORD* error) {
    UniqueLocal descriptor;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(kGuardSddl, SDDL_REVISION_1,
                                                           reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
                                                           nullptr);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    UniqueHandle mutex(::CreateMutexW(descriptor ? &attributes : nullptr, FALSE, name.c_str()));
    *error = ::GetLastError();
    return mutex;
}

bool HeldByAnotherInstance(bool created, DWORD error) {
    return created ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

GuardWait OwnGuardMutex(const std::wstring& name, DWORD waitMs, UniqueHandle* mutex,
                        const std::function<void()>& busy) {
    DWORD error = ERROR_SUCCESS;
    UniqueHandle guard = CreateGuardMutex(name, &error);
    if (!guard) return GuardWait::Unavailable;
    DWORD waited = ::WaitForSingleObject(guard.get(), 0);
    if (waited == WAIT_TIMEOUT) {
        if (busy) busy();
        waited = ::WaitForSingleObject(guard.get(), waitMs);
    }
    if (waited == WAIT_TIMEOUT) return GuardWait::TimedOut;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return GuardWait::Unavailable;
    *mutex = std::move(guard);
    return GuardWait::Owned;
}

}  // namespace vek
