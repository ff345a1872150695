// The bounded service wait of the native layer, with a short limit, against
// the product's service program registered in the test prefix.
#include <gtest/gtest.h>

#include "tests/support/process.h"
#include "tests/support/services.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"
#include "utility/base/services.h"

using namespace vektest;

TEST(ServiceControl, AServiceThatIsNotThereIsDoneWith) {
    for (const auto action : {vek::ServiceAction::Start, vek::ServiceAction::Stop, vek::ServiceAction::Other}) {
        const vek::Status status = vek::ControlService(L"VekNoSuchService", action, L"test", 1000);
        EXPECT_TRUE(status.ok);
        EXPECT_EQ(status.error, static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    }
}

TEST(ServiceControl, AStopThatNeverEndsEndsAtTheLimit) {
    TestService service(L"--hang-on-stop");
    ASSERT_TRUE(service.installed());
    ASSERT_TRUE(vek::ControlService(service.name(), vek::ServiceAction::Start, L"test", 20000).ok);
    EXPECT_FALSE(vek::ControlService(service.name(), vek::ServiceAction::Other, L"test", 1000).ok);

    const ULONGLONG t0 = ::GetTickCount64();
    const vek::Status stopped = vek::ControlService(service.name(), vek::ServiceAction::Stop, L"test", 1500);
    const ULONGLONG elapsed = ::GetTickCount64() - t0;
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.error, static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
    EXPECT_GE(elapsed, 1500u) << "the whole limit is waited";
    EXPECT_LT(elapsed, 10000u) << "and not the default 30 s";
}

TEST(ServiceControl, ASlowStartIsWaitedForWithinTheLimit) {
    TestService service(L"--slow-start 2000");
    ASSERT_TRUE(service.installed());
    const vek::Status early = vek::ControlService(service.name(), vek::ServiceAction::Start, L"test", 200);
    EXPECT_FALSE(early.ok);
    EXPECT_EQ(early.error, static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
    EXPECT_TRUE(vek::ControlService(service.name(), vek::ServiceAction::Start, L"test", 20000).ok)
        << "a start on its way is waited for, not asked again";
    EXPECT_TRUE(vek::ControlService(service.name(), vek::ServiceAction::Stop, L"test", 20000).ok);
}
