// Finding and ending real processes: one that closes its window on request
// and one that ignores close requests and is terminated after 3 s.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/dialogs.h"
#include "tests/support/listener.h"
#include "tests/support/probe.h"

using namespace vektest;

namespace {

std::wstring ProductMain() {
    return TestBinDir().substr(0, TestBinDir().find_last_of(L'\\')) + L"\\payload\\TovikCCleanerMain.exe";
}

// Waits until the process has a top-level window.
bool HasWindow(DWORD pid) {
    for (int i = 0; i < 100; ++i, ::Sleep(100)) {
        if (TopLevelWindowOf(pid)) return true;
    }
    return false;
}

}  // namespace

TEST(Processes, GetProcessIdListsEveryMatch) {
    TempDir dir;
    const std::wstring image = CopyOfSleeper(dir, L"vekdup.exe");
    Started one = StartProcess(image, L"30000");
    Started two = StartProcess(image, L"30000");
    Probe probe;
    probe.Script("probe_record(Lua_GetProcessId('VEKDUP.EXE'))\n"
                 "probe_record(Lua_GetProcessId('ignored', 'vekdup.exe'))\n"
                 "probe_record(Lua_GetProcessId('vekdup'))\n");
    probe.Run();
    const auto records = probe.Records();
    ASSERT_GE(records.size(), 3u);
    std::vector<std::string> expected = {std::to_string(one.pid), std::to_string(two.pid)};
    for (int i = 0; i < 2; ++i) {
        std::string first = records[i].substr(0, records[i].find('\t'));
        std::string second = records[i].substr(records[i].find('\t') + 1);
        std::vector<std::string> got = {first, second};
        std::sort(got.begin(), got.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(got, expected) << records[i];
    }
    EXPECT_EQ(records[2], "-1") << "names match whole, not by prefix";
    ::TerminateProcess(one.process.get(), 0);
    ::TerminateProcess(two.process.get(), 0);
}

TEST(Processes, TaskKillClosesWindowsThenTerminates) {
    TempDir dir;
    Started windowed = StartProcess(ProductMain(), L"");
    ASSERT_TRUE(HasWindow(windowed.pid));
    Started stubborn = StartProcess(CopyOfSleeper(dir, L"veknoclose.exe"), L"60000");
    Probe probe;
    probe.Script("local t0 = os.clock()\n"
                 "probe_record(tostring(Lua_TaskKill(" + std::to_string(windowed.pid) + ", nil)))\n"
                 "probe_record(os.clock() - t0 < 2.5)\n"
                 "t0 = os.clock()\n"
                 "probe_record(tostring(Lua_KillAllTaskByName('VEKNOCLOSE.exe')))\n"
                 "probe_record(os.clock() - t0 >= 2.9)\n"
                 "probe_record(tostring(Lua_TaskKill('" + std::to_string(windowed.pid) + "', nil)))\n");
    const RunResult run = probe.Run();
    EXPECT_EQ(probe.Records(),
              (std::vector<std::string>{"true", "true", "true", "true", "true", "VekSE_BeforeInit"}));
    EXPECT_EQ(WaitExit(windowed.process.get(), 1000), 0u) << "closed by its window";
    EXPECT_EQ(WaitExit(stubborn.process.get(), 1000), 0u) << "terminated with exit code 0";
}

TEST(Processes, TaskKillPostsTheWindowMessage) {
    const struct {
        const char* args;  // after the process name
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool posted;
    } cases[] = {
        {", nil", 0, 0, 0, false},
        {", 'VekTaskKillTarget'", WM_NULL, 0, 0, true},
        {", 'VekTaskKillTarget', nil", WM_SYSCOMMAND, SC_CLOSE, 0, true},
        {", 'VekTaskKillTarget', 0x8001, 5, -6", 0x8001, 5, -6, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        std::vector<ReceivedMessage> got;
        {
            ListenerWindow target({WM_NULL, WM_SYSCOMMAND, 0x8001}, {}, L"VekTaskKillTarget");
            Probe probe;
            probe.Script(std::string("probe_record(tostring(Lua_TaskKill('vek-no-such.exe'") + c.args + ")))\n").Run();
            EXPECT_EQ(probe.Records().front(), "true");
            ::Sleep(200);
            got = target.Received();
        }
        bool found = false;
        for (const auto& m : got) {
            found |= m.message == c.message && m.wParam == c.wParam && m.lParam == c.lParam;
        }
        EXPECT_EQ(found, c.posted);
        if (!c.posted) {
            for (const auto& m : got) EXPECT_NE(m.message, static_cast<UINT>(WM_SYSCOMMAND));
        }
    }
}
