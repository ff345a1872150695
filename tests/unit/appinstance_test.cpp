// Single-instance guard: mutex names and the second holder of a name.
#include <gtest/gtest.h>

#include "utility/base/handles.h"
#include "utility/base/guardmutex.h"
#include "vekinstaller/appinstance.h"

TEST(AppInstance, MutexNameCarriesTheApplicationId) {
    EXPECT_EQ(InstanceMutexName(L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}", 201),
              L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}201");
    EXPECT_EQ(InstanceMutexName(L"Base", 0), L"Base");
    EXPECT_EQ(InstanceMutexName(L"Base", -5), L"Base-5");
    // composed in 260 characters: longer names are cut, not overrun
    EXPECT_EQ(InstanceMutexName(std::wstring(400, L'x'), 7).size(), 259u);
}

TEST(AppInstance, TellsWhenTheMutexIsHeldAlready) {
    const std::wstring base = L"Local\\VekUnitTestGuard";
    // First holder: false, the mutex stays open in this process.
    EXPECT_FALSE(CreateAppInstance(base, 3));
    EXPECT_TRUE(CreateAppInstance(base, 3));
    // Another id is another guard.
    EXPECT_FALSE(CreateAppInstance(base, 4));
}

TEST(AppInstance, AGuardThatCannotBeOpenedBelongsToAnotherInstaller) {
    // (Wine lets every process open every mutex, so the case is read from
    // what CreateMutexW reports.)
    const struct {
        bool created;
        DWORD error;
        bool other;
    } cases[] = {
        {true, ERROR_SUCCESS, false},
        {true, ERROR_ALREADY_EXISTS, true},
        {false, ERROR_ACCESS_DENIED, true},
        {false, ERROR_INVALID_HANDLE, false},  // a name taken by another kind of object
        {false, ERROR_PATH_NOT_FOUND, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vek::HeldByAnotherInstance(c.created, c.error), c.other) << c.created << " " << c.error;
    }
}
