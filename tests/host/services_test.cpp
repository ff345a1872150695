// Lua_SCM against a real service program registered with the service
// control manager of the test prefix.
#include <gtest/gtest.h>

#include "tests/support/probe.h"
#include "tests/support/services.h"
#include "utility/base/handles.h"

using namespace vektest;

TEST(Services, StartAndStopWaitForTheState) {
    TestService service(L"--slow-start 1200");
    ASSERT_TRUE(service.installed());
    Probe probe;
    probe.Script("local t0 = os.clock()\n"
                 "probe_record(tostring(Lua_SCM(" + service.lua() + ", 'start')))\n"
                 "probe_record(os.clock() - t0 >= 1.1)\n"
                 "local t1 = os.clock()\n"
                 "probe_record(tostring(Lua_SCM(" + service.lua() + ", 'START')))\n"
                 "probe_record(os.clock() - t1 < 1)\n"
                 "probe_record(tostring(Lua_SCM(" + service.lua() + ", 'restart')))\n"
                 "probe_record(tostring(Lua_SCM(" + service.lua() + ", 'stop')))\n"
                 "probe_record(string.format('cycle %.2f s', os.clock() - t0))\n");
    const RunResult run = probe.Run();
    const auto records = probe.Records();
    ASSERT_GE(records.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(records.begin(), records.begin() + 6),
              (std::vector<std::string>{"true", "true", "true", "true", "false", "true"}));
    std::cout << "start and stop of the test service: " << records[6] << "\n";
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(run.HasTrace(L"xm Unknow Error in fun:Lua_SCM\r\n"));
}

TEST(Services, ShellCommandsStopAndDelete) {
    TestService service(L"");
    ASSERT_TRUE(service.installed());
    Probe probe;
    const std::string name = Utf8(service.name());
    probe.Script("probe_record(tostring(Lua_SCM('" + name + "', 'start')))\n"
                 "probe_record(tostring(Lua_Exec('%WINDIR%\\\\system32\\\\cmd.exe', nil, '/C sc stop " + name +
                 "', true)))\n");
    probe.Run();
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"true", "true", "VekSE_BeforeInit"}));
    for (int i = 0; i < 50 && service.State() != SERVICE_STOPPED; ++i) ::Sleep(100);
    EXPECT_EQ(service.State(), static_cast<DWORD>(SERVICE_STOPPED));
    Probe remove;
    remove.Script("Lua_Exec('%WINDIR%\\\\system32\\\\cmd.exe', nil, '/C sc delete " + name + "', true)\n"
                  "probe_record(tostring(Lua_SCM('" + name + "', 'stop')))\n");
    remove.Run();
    EXPECT_EQ(service.State(), 0u) << "deleted";
    EXPECT_EQ(remove.Records().front(), "true") << "a deleted service counts as stopped";
}

TEST(Services, StopThatNeverEndsIsBounded) {
    TestService service(L"--hang-on-stop");
    ASSERT_TRUE(service.installed());
    Probe probe;
    probe.Script("probe_record(tostring(Lua_SCM(" + service.lua() + ", 'start')))\n"
                 "local t0 = os.clock()\n"
                 "probe_record(tostring(Lua_SCM(" + service.lua() + ", 'stop')))\n"
                 "probe_record(string.format('%.0f', os.clock() - t0))\n")
        .Timeout(90000);
    const RunResult run = probe.Run();
    const auto records = probe.Records();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[0], "true");
    EXPECT_EQ(records[1], "false");
    const int seconds = std::stoi(records[2]);
    EXPECT_GE(seconds, 29);
    EXPECT_LE(seconds, 35);
    bool traced = false;
    for (const auto& t : run.traces) traced |= t.find(L"did not reach state 1 within 30 s") != std::wstring::npos;
    EXPECT_TRUE(traced) << Utf8(run.Joined());
}
