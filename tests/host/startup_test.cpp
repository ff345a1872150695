// Start-up of the installer host: chunks from resources, the event order of a
// silent install, and the listener notification.
#include <gtest/gtest.h>

#include "tests/support/listener.h"
#include "tests/support/probe.h"

using namespace vektest;

namespace {
const std::vector<std::string> kAllEvents = {"VekSE_BeforeInit", "VekSE_BeforeInstall", "VekSE_OnInstall",
                                             "VekSE_BeforeComplete", "VekSE_AfterComplete"};
}

TEST(SilentInstall, FiresTheFiveEventsInOrder) {
    Probe probe;
    const RunResult run = probe.Args(L"/InstallSlience true").Run();
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(), kAllEvents) << Utf8(run.Joined());
}
