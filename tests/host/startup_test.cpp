// Start-up of the installer host: the chunks from the resources, the run
// mode, the silent stages and the listener notification.
#include <gtest/gtest.h>

#include <atomic>

#include "tests/support/dialogs.h"
#include "tests/support/listener.h"
#include "tests/support/probe.h"
#include "tests/support/system.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

const std::vector<std::string> kAllEvents = {"VekSE_BeforeInit", "VekSE_BeforeInstall", "VekSE_OnInstall",
                                             "VekSE_BeforeComplete", "VekSE_AfterComplete"};

bool RanSilently(const RunResult& run, const std::vector<std::string>& records) {
    const bool silent = run.HasTrace(L"xm start ss install!");
    EXPECT_EQ(records, silent ? kAllEvents : std::vector<std::string>{"VekSE_BeforeInit"});
    return silent;
}

}  // namespace

TEST(SilentInstall, RunsTheStagesInOrderWithInstallPath) {
    Probe probe;
    probe.Script(R"(
        global_install_path = "C:\\Program Files\\TovikClean"
        function VekSE_BeforeInstall()
            probe_record("VekSE_BeforeInstall")
            probe_record(InstallPath, tostring(global_ss_install))
        end)");
    const RunResult run = probe.Args(L"/InstallSlience true").Run();
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(),
              (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_BeforeInstall",
                                        "C:\\Program Files\\TovikClean\ttrue", "VekSE_OnInstall",
                                        "VekSE_BeforeComplete", "VekSE_AfterComplete"}));
    const int flag = run.IndexOf(L"xm global_ss_install==true ~!\r\n");
    ASSERT_GE(flag, 0) << Utf8(run.Joined());
    EXPECT_EQ(run.IndexOf(L"xm start ss install!"), flag + 1);
}

TEST(SilentInstall, MissingInstallPathGivesEmptyInstallPath) {
    Probe probe;
    probe.Script(R"(
        function VekSE_BeforeInstall() probe_record("[" .. tostring(InstallPath) .. "]") end)");
    probe.Args(L"/InstallSlience true").Run();
    ASSERT_GE(probe.Records().size(), 2u);
    EXPECT_EQ(probe.Records()[1], "[]");
}

TEST(SilentInstall, SkipsMissingAndNonFunctionHandlers) {
    Probe probe;
    probe.Script(R"(
        VekSE_BeforeInstall = nil
        VekSE_OnInstall = 42
        VekSE_BeforeComplete = "not a function")");
    const RunResult run = probe.Args(L"/InstallSlience true").Run();
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_AfterComplete"}));
}

TEST(RunMode, FollowsCommandLineAndScriptSwitches) {
    const struct {
        const wchar_t* args;
        const char* enable;   // global_enable_ss_install
        const char* request;  // global_ss_install, set by VekSE_BeforeInit
        bool silent;
    } cases[] = {
        {L"/InstallSlience true", "false", "false", true},
        {L"/InstallSlience \"true\"", "nil", "nil", true},
        {L"/InstallSlience TRUE", "false", "false", false},
        {L"/installslience true", "false", "false", false},
        {L"/InstallSlience", "false", "false", false},
        {L"", "true", "true", true},
        {L"", "true", "false", false},
        {L"", "true", "nil", false},
        {L"", "false", "true", false},
        {L"", "nil", "true", false},
        {L"", "\"yes\"", "0", true},  // Lua truth: strings and numbers are true
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "args " << Utf8(c.args) << ", enable " << c.enable << ", request "
                                        << c.request);
        Probe probe;
        probe.Script(std::string("global_enable_ss_install = ") + c.enable + R"(
            function VekSE_BeforeInit()
                probe_record("VekSE_BeforeInit")
                global_ss_install = )" + c.request + "\nend");
        const RunResult run = probe.Args(c.args).Run();
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(RanSilently(run, probe.Records()), c.silent) << Utf8(run.Joined());
    }
}

TEST(Listener, ReceivesInstallFinishedOnceAfterTheLastStage) {
    Probe probe;
    std::vector<std::string> recordsWhenNotified;
    ListenerWindow listener(3014, [&] { recordsWhenNotified = probe.Records(); });
    const std::wstring handle = std::to_wstring(reinterpret_cast<ULONG_PTR>(listener.window()));
    const RunResult run = probe.Args(L"/InstallSlience true /InstallListenWnd " + handle).Run();
    EXPECT_EQ(run.exitCode, 0u);
    const auto received = listener.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].wParam, 0u);
    EXPECT_EQ(received[0].lParam, 0);
    EXPECT_EQ(recordsWhenNotified, kAllEvents);
}

// An interactive start shows the installer window; closed before any
// install, it tells the listener nothing and the installer ends with 0.
TEST(Listener, InteractiveRunClosedBeforeInstallingSendsNothing) {
    Probe probe;
    ListenerWindow listener(3014);
    bool windowSeen = false;
    const std::wstring handle = std::to_wstring(reinterpret_cast<ULONG_PTR>(listener.window()));
    const RunResult run = probe.Args(L"/InstallListenWnd " + handle)
                              .KeepWindow()
                              .WhileRunning([&](DWORD pid) {
                                  vek::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
                                  while (process && ::WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
                                      if (HWND window = TopLevelWindowOf(pid, L"CDlgInstall")) {
                                          windowSeen = true;
                                          ::PostMessageW(window, WM_CLOSE, 0, 0);
                                          return;
                                      }
                                  }
                              })
                              .Run();
    EXPECT_TRUE(windowSeen);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(), std::vector<std::string>{"VekSE_BeforeInit"});
    EXPECT_TRUE(listener.Received().empty());
}

TEST(Listener, AHungListenerDoesNotHangTheInstaller) {
    vek::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // The listener's thread stops answering inside the handler until the
    // installer has ended (or the test gives up on it).
    std::atomic<bool> handling{false};
    ListenerWindow listener(3014, [&] {
        handling = true;
        ::WaitForSingleObject(release.get(), 120000);
    });
    const std::wstring handle = std::to_wstring(reinterpret_cast<ULONG_PTR>(listener.window()));
    Probe probe;
    const RunResult run = probe.Args(L"/InstallSlience true /InstallListenWnd " + handle).Timeout(90000).Run();
    ::SetEvent(release.get());
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(), kAllEvents);
    EXPECT_TRUE(handling) << "the message reached the listener";
}

TEST(Chunks, FailuresEndTheRunBeforeAnyEvent) {
    const struct {
        const wchar_t* installer;
        std::vector<std::wstring> traces;  // in this order, among others
    } cases[] = {
        {L"noconfig",
         {L"xm LoadResource failed. Type : LUA ID : GLOBAL_VAR.LUAC\r\n", L"xm DoResLua failed, GLOBAL_VAR.LUAC"}},
        {L"badinst",  // its configuration is source text, which loads
         {L"xm luaL_loadbuffer failed!\r\n", L"xm DoResLua failed, INSTSCRIPT.LUAC"}},
        {L"emptyinst", {L"xm ResSize == 0\r\n", L"xm DoResLua failed, INSTSCRIPT.LUAC"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.installer));
        Probe probe(c.installer);
        const RunResult run = probe.Run();
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(probe.Records().empty());
        int last = -1;
        for (const std::wstring& trace : c.traces) {
            const int at = run.IndexOf(trace);
            EXPECT_GT(at, last) << Utf8(trace) << "\n" << Utf8(run.Joined());
            last = at;
        }
        EXPECT_FALSE(run.HasTrace(L"xm  szObjectName = Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}201 "));
    }
}

TEST(Chunks, MissingResourceIsReportedWithSourceLineAndError) {
    const RunResult run = Probe(L"noconfig").Run();
    const int at = run.IndexOf(L"xm LoadResource failed. Type : LUA ID : GLOBAL_VAR.LUAC\r\n");
    ASSERT_GE(at, 0) << Utf8(run.Joined());
    ASSERT_GE(run.traces.size(), static_cast<size_t>(at) + 4);
    EXPECT_TRUE(run.traces[at + 1].rfind(L"xm xm file:", 0) == 0);
    EXPECT_NE(run.traces[at + 1].find(L"vekscriptengine.cpp\r\n"), std::wstring::npos);
    EXPECT_TRUE(run.traces[at + 2].rfind(L"xm xm line:", 0) == 0);
    EXPECT_EQ(run.traces[at + 3], L"xm xm err:1814\r\n");  // ERROR_RESOURCE_NAME_NOT_FOUND
}

TEST(Chunks, LoadErrorNamesTheChunk) {
    const RunResult run = Probe(L"badinst").Run();
    const int at = run.IndexOf(L"xm luaL_loadbuffer failed!\r\n");
    ASSERT_GT(at, 0) << Utf8(run.Joined());
    EXPECT_EQ(run.traces[at - 1].rfind(L"xm [string \"INSTSCRIPT.LUAC\"]:1:", 0), 0u) << Utf8(run.traces[at - 1]);
}

TEST(Interactive, ChecksTheSkinArchiveBeforeGoingOn) {
    const struct {
        const wchar_t* installer;
        const wchar_t* trace;
    } cases[] = {
        {L"probe_noskin", L"xm LoadResource failed. type : XML, id : LAYOUT.XMLxm err:1813\r\n"},
        {L"probe_emptyskin", L"xm ResSize == 0\r\n"},
        {L"probe", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.installer));
        ClearPendingRenames();
        Probe probe(c.installer);
        const RunResult run = probe.Run();
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(probe.Records(), std::vector<std::string>{"VekSE_BeforeInit"});
        if (c.trace) {
            EXPECT_TRUE(run.HasTrace(c.trace)) << Utf8(run.Joined());
        }
        // The clean-up path runs on every way out, a failed skin check too.
        EXPECT_TRUE(IsPendingDeletion(TempFolder() + L"TovikInstall.log"));
    }
}

TEST(Exit, ScriptsEndingTheInstallerStillRunTheCleanUp) {
    for (const char* stage : {"VekSE_BeforeInit", "VekSE_OnInstall"}) {
        SCOPED_TRACE(stage);
        ClearPendingRenames();
        Probe probe;
        probe.Script(std::string("function ") + stage + "() probe_record('" + stage + "') os.exit(0) end");
        const RunResult run = probe.Args(L"/InstallSlience true").Run();
        EXPECT_EQ(run.exitCode, 0u);
        const std::vector<std::string> records = probe.Records();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back(), stage);  // nothing ran after the exit
        EXPECT_TRUE(IsPendingDeletion(TempFolder() + L"TovikInstall.log"));
        EXPECT_TRUE(IsPendingDeletion(TodaysLogPath()));
    }
}

TEST(SilentInstall, RegistersTheLogForDeletionAtReboot) {
    ClearPendingRenames();
    Probe probe;
    probe.Args(L"/InstallSlience true").Run();
    EXPECT_TRUE(IsPendingDeletion(TempFolder() + L"TovikInstall.log"));
    EXPECT_TRUE(IsPendingDeletion(TodaysLogPath()));
}
