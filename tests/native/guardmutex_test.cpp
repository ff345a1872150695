// The guard mutex of programs that run one at a time: who may open it, and
// owning it within a bounded wait.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <thread>

#include "utility/base/guardmutex.h"

namespace {

std::wstring UniqueName(const wchar_t* what) {
    static int counter = 0;
    return std::wstring(L"Local\\VekNativeGuard-") + what + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter);
}

std::vector<std::wstring> AllowedSids(HANDLE object) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::wstring> allowed;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return {L"<no security>"};
    vek::UniqueLocal owned(descriptor);
    if (!dacl) return {L"<null DACL>"};
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        LPWSTR sid = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !::ConvertSidToStringSidW(&ace->SidStart, &sid))
            return {L"<other entry>"};
        allowed.push_back(sid);
        ::LocalFree(sid);
    }
    std::sort(allowed.begin(), allowed.end());
    return allowed;
}

// Owns `name` on a thread of its own until `release` is set, then releases
// it, or with `abandon` ends its thread still owning it.
class OtherOwner {
public:
    OtherOwner(const std::wstring& name, bool abandon)
        : owned_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this, name, abandon] {
            HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name.c_str());
            ::SetEvent(owned_.get());
            ::WaitForSingleObject(release_.get(), 30000);
            if (!abandon) ::ReleaseMutex(mutex);
            ::CloseHandle(mutex);
        });
        ::WaitForSingleObject(owned_.get(), 10000);
    }
    ~OtherOwner() {
        Release();
        Join();
    }
    void Release() { ::SetEvent(release_.get()); }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    vek::UniqueHandle owned_;
    vek::UniqueHandle release_;
    std::thread thread_;
};

}  // namespace

TEST(GuardMutex, OnlyAdministratorsAndSystemMayOpenItAndNoChildInheritsIt) {
    const std::wstring name = UniqueName(L"acl");
    DWORD error = 0;
    vek::UniqueHandle mutex = vek::CreateGuardMutex(name, &error);
    ASSERT_TRUE(mutex);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(AllowedSids(mutex.get()), (std::vector<std::wstring>{L"S-1-5-18", L"S-1-5-32-544"}));
    DWORD flags = 0;
    ASSERT_TRUE(::GetHandleInformation(mutex.get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);

    vek::UniqueHandle again = vek::CreateGuardMutex(name, &error);
    EXPECT_TRUE(again);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(vek::HeldByAnotherInstance(again.valid(), error));
}

TEST(GuardMutex, OwningWaitsABoundedTimeForTheOtherOwner) {
    const struct {
        const char* other;
        bool exists, abandon, releaseWhenBusy;
        vek::GuardWait expected;
        bool busy;
    } cases[] = {
        {"none", false, false, false, vek::GuardWait::Owned, false},
        {"holds it throughout", true, false, false, vek::GuardWait::TimedOut, true},
        {"lets go during the wait", true, false, true, vek::GuardWait::Owned, true},
        {"ends still owning it", true, true, true, vek::GuardWait::Owned, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other);
        const std::wstring name = UniqueName(L"wait");
        std::optional<OtherOwner> other;
        if (c.exists) other.emplace(name, c.abandon);
        int busy = 0;
        vek::UniqueHandle mutex;
        const vek::GuardWait waited = vek::OwnGuardMutex(name, c.releaseWhenBusy ? 20000 : 300, &mutex, [&] {
            ++busy;
            if (c.releaseWhenBusy) other->Release();
        });
        EXPECT_EQ(waited, c.expected);
        EXPECT_EQ(busy, c.busy ? 1 : 0);
        EXPECT_EQ(mutex.valid(), c.expected == vek::GuardWait::Owned);
        if (mutex) {
            EXPECT_TRUE(::ReleaseMutex(mutex.get())) << "owned by this thread";
        }
    }
}

TEST(GuardMutex, ANameTakenByAnotherKindOfObjectIsUnavailable) {
    const std::wstring name = UniqueName(L"event");
    vek::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(event);
    vek::UniqueHandle mutex;
    EXPECT_EQ(vek::OwnGuardMutex(name, 100, &mutex), vek::GuardWait::Unavailable);
    EXPECT_FALSE(mutex);
}
