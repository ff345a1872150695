// Single-instance guard: mutex names and the second holder of a name.
#include <gtest/gtest.h>

#include "utility/base/handles.h"
#include "vekinstaller/appinstance.h"

TEST(AppInstance, MutexNameCarriesTheApplicationId) {
    EXPECT_EQ(InstanceMutexName(L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}", 201),
              L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}201");
    EXPECT_EQ(InstanceMutexName(L"Base", 0), L"Base");
    EXPECT_EQ(InstanceMutexName(L"Base", -5), L"Base-5");
    // composed in 260 characters: longer names are cut, not overrun
    EXPECT_EQ(InstanceMutexName(std::wstring(400, L'x'), 7).size(), 259u);
}

TEST(AppInstance, ReturnsAHandleOnlyWhenTheMutexIsHeldAlready) {
    const std::wstring base = L"Local\\VekUnitTestGuard";
    // First holder: nothing returned, the mutex stays open in this process.
    EXPECT_EQ(CreateAppInstance(base, 3), nullptr);
    vek::UniqueHandle second(CreateAppInstance(base, 3));
    EXPECT_TRUE(second.valid());
    // Another id is another guard.
    EXPECT_EQ(CreateAppInstance(base, 4), nullptr);
}
