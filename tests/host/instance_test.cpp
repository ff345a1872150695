// One installer at a time: a second start ends at once unless it carries the
// InstallSlience key, and the running installer's window comes to the front.
#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "tests/support/dialogs.h"
#include "tests/support/listener.h"
#include "tests/support/probe.h"

using namespace vektest;

namespace {

// The first installer holds the guard while its VekSE_BeforeInit shows a box.
const char kHoldInBox[] = "function VekSE_BeforeInit() Lua_MsgBox('holding') probe_record('first done') end\n";

struct SecondRun {
    RunResult run;
    std::vector<std::string> records;
};

// Starts a first installer, runs a second one with `args` while the first
// holds the guard, then lets the first finish.
SecondRun WhileFirstRuns(const std::wstring& args, const std::string& firstConfig = "",
                         const std::string& secondConfig = "") {
    SecondRun second;
    Probe first;
    first.Script(firstConfig + kHoldInBox).WhileRunning([&](DWORD pid) {
        auto box = WaitForDialog(pid, 20000);
        Probe other;
        other.Script(secondConfig);
        second.run = other.Args(args).Run();
        second.records = other.Records();
        if (box) PressButton(*box, L"OK");
    });
    const RunResult run = first.Run();
    EXPECT_EQ(first.Records(), std::vector<std::string>{"first done"});
    return second;
}

}  // namespace

TEST(SingleInstance, SecondStartDependsOnTheSilentKey) {
    const struct {
        const wchar_t* args;
        std::vector<std::string> records;
    } cases[] = {
        {L"", {}},
        {L"/InstallListenWnd 0", {}},
        {L"/InstallSlience", {"VekSE_BeforeInit"}},       // any value lets it run...
        {L"/InstallSlience TRUE", {"VekSE_BeforeInit"}},  // ...interactively
        {L"/InstallSlience true",
         {"VekSE_BeforeInit", "VekSE_BeforeInstall", "VekSE_OnInstall", "VekSE_BeforeComplete",
          "VekSE_AfterComplete"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.args));
        const SecondRun second = WhileFirstRuns(c.args);
        EXPECT_EQ(second.run.exitCode, 0u);
        EXPECT_EQ(second.records, c.records);
        EXPECT_EQ(second.run.HasTrace(L"xm CreateAppInstance return true"), c.records.empty());
    }
}

TEST(SingleInstance, GuardIsNamedAfterTheApplicationId) {
    const RunResult run = Probe().Run();
    EXPECT_TRUE(run.HasTrace(L"xm  szObjectName = Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}201 "))
        << Utf8(run.Joined());
    const RunResult zero = Probe().Script("global_app_id = 0").Run();
    EXPECT_TRUE(zero.HasTrace(L"xm  szObjectName = Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F} "));
}

TEST(SingleInstance, ConfiguredGuardNameReplacesBaseAndId) {
    const std::string config = "global_install_mutex_guid = 'Local\\\\VekTestGuard'\n";
    const RunResult run = Probe().Script(config).Run();
    EXPECT_TRUE(run.HasTrace(L"xm  szObjectName = Local\\VekTestGuard ")) << Utf8(run.Joined());
    // Installers sharing the configured name exclude each other...
    EXPECT_TRUE(WhileFirstRuns(L"", config, config).run.HasTrace(L"xm CreateAppInstance return true"));
    // ...and do not hold the default guard.
    EXPECT_EQ(WhileFirstRuns(L"", config, "").records, std::vector<std::string>{"VekSE_BeforeInit"});
}

TEST(SingleInstance, RunningInstallerWindowComesToTheFront) {
    ListenerWindow window(WM_NULL, {}, L"CDlgInstall", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_MINIMIZE);
    ASSERT_TRUE(::IsIconic(window.window()));
    const SecondRun second = WhileFirstRuns(L"");
    EXPECT_TRUE(second.run.HasTrace(L"xm CreateAppInstance return true"));
    EXPECT_FALSE(::IsIconic(window.window()));
}

TEST(SingleInstance, GuardIsForAdministratorsAndSystemOnly) {
    bool checked = false;
    Probe first;
    first.Script(kHoldInBox).WhileRunning([&](DWORD pid) {
        auto box = WaitForDialog(pid, 20000);
        vek::UniqueHandle mutex(::OpenMutexW(READ_CONTROL | SYNCHRONIZE, FALSE,
                                             L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}201"));
        EXPECT_TRUE(mutex.valid());
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        EXPECT_EQ(::GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    &dacl, nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_NE(dacl, nullptr) << "a NULL DACL would grant everyone full access";
        std::vector<std::wstring> allowed;
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) continue;
            EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            LPWSTR sid = nullptr;
            if (::ConvertSidToStringSidW(&ace->SidStart, &sid)) {
                allowed.push_back(sid);
                ::LocalFree(sid);
            }
        }
        std::sort(allowed.begin(), allowed.end());
        EXPECT_EQ(allowed, (std::vector<std::wstring>{L"S-1-5-18", L"S-1-5-32-544"}));
        ::LocalFree(descriptor);
        checked = true;
        if (box) PressButton(*box, L"OK");
    });
    first.Run();
    EXPECT_TRUE(checked);
}
