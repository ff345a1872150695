// The installer window driven from outside as a keyboard drives it (the
// null display driver: posted keys reach the window as typed ones). Tab
// from no focus reaches the install button first; Return presses the
// focused button.
#include <gtest/gtest.h>

#include <optional>

#include "tests/support/dialogs.h"
#include "tests/support/listener.h"
#include "tests/support/probe.h"
#include "tests/support/system.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

// The installer window of `pid`, waited for until the process ends.
HWND WaitForInstallerWindow(DWORD pid) {
    vek::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    while (process && ::WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
        if (HWND window = TopLevelWindowOf(pid, L"CDlgInstall")) return window;
    }
    return nullptr;
}

void PressKey(HWND window, UINT key) {
    ::PostMessageW(window, WM_KEYDOWN, key, 1);
    ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

void PressInstall(HWND window) {
    PressKey(window, VK_TAB);
    PressKey(window, VK_RETURN);
}

// A click of the left button at a client point (100 % layout units; the
// prefix's DPI is 96).
void Click(HWND window, int x, int y) {
    ::PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// A point of the install button in the shipped layout.
constexpr POINT kInstallButton = {230, 259};

std::string LuaString(const std::wstring& text) { return "[[" + Utf8(text) + "]]"; }

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount64() > deadline) return false;
        ::SwitchToThread();
    }
    return true;
}

}  // namespace

// Install, the listener told once, the completion view with the start
// button focused, the product started with its parameters, then
// VekSE_AfterComplete and the end with code 0.
TEST(InstallerWindow, InstallsAndStartsTheProductFromTheCompletionView) {
    TempDir product;
    ASSERT_TRUE(::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), (product / L"TovikCCleanerMain.exe").c_str(), FALSE));
    const std::wstring started = product / L"started.txt";
    vek::UniqueHandle finished(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ListenerWindow listener(3014, [&] { ::SetEvent(finished.get()); });
    const std::wstring handle = std::to_wstring(reinterpret_cast<ULONG_PTR>(listener.window()));
    Probe probe;
    probe.Script("global_install_path = " + LuaString(product.path()) + R"(
        global_start_parameter = "0 " .. )" + LuaString(started) + R"(
        global_startuseexplorer_level = false
        function VekSE_OnInstall()
            probe_record("VekSE_OnInstall", InstallPath, tostring(LicenceChk),
                         type(global_install_progress_elapse))
        end)");
    bool windowSeen = false, completed = false;
    const RunResult run = probe.Args(L"/InstallListenWnd " + handle)
                              .KeepWindow()
                              .Timeout(60000)
                              .WhileRunning([&](DWORD pid) {
                                  HWND window = WaitForInstallerWindow(pid);
                                  windowSeen = window != nullptr;
                                  if (!window) return;
                                  PressInstall(window);
                                  completed = ::WaitForSingleObject(finished.get(), 40000) == WAIT_OBJECT_0;
                                  // Queued behind the handler that showed the completion view.
                                  PressKey(window, VK_RETURN);
                              })
                              .Run();
    EXPECT_TRUE(windowSeen);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(),
              (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_BeforeInstall",
                                        "VekSE_OnInstall\t" + Utf8(product.path()) + "\ttrue\tnumber",
                                        "VekSE_BeforeComplete", "VekSE_AfterComplete"}));
    EXPECT_EQ(listener.Received().size(), 1u);
    ASSERT_TRUE(WaitForFile(started, 20000)) << "the product was not started";
}

// Clearing the licence option disables the install button: a click on it
// does nothing until the option is set again. Without the completion view
// the product starts and the window closes as soon as the bar is full.
TEST(InstallerWindow, LicenceGateThenStartWithoutCompletionView) {
    TempDir product;
    ASSERT_TRUE(::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), (product / L"TovikCCleanerMain.exe").c_str(), FALSE));
    const std::wstring started = product / L"started.txt";
    Probe probe;
    probe.Script("global_install_path = " + LuaString(product.path()) + R"(
        global_start_parameter = "0 " .. )" + LuaString(started) + R"(
        global_startuseexplorer_level = false
        global_show_completewindow = false
        function VekSE_BeforeInstall() probe_record("VekSE_BeforeInstall", tostring(LicenceChk)) end)");
    const RunResult run = probe.KeepWindow()
                              .WhileRunning([&](DWORD pid) {
                                  HWND window = WaitForInstallerWindow(pid);
                                  if (!window) return;
                                  PressKey(window, VK_TAB);    // the install button
                                  PressKey(window, VK_TAB);    // the licence option
                                  PressKey(window, VK_SPACE);  // cleared
                                  Click(window, kInstallButton.x, kInstallButton.y);
                                  PressKey(window, VK_SPACE);  // set again
                                  Click(window, kInstallButton.x, kInstallButton.y);
                              })
                              .Run();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    // LicenceChk is written from the option as the install starts: a click
    // that got through while it was clear would have written false.
    EXPECT_EQ(probe.Records(),
              (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_BeforeInstall\ttrue", "VekSE_OnInstall",
                                        "VekSE_BeforeComplete", "VekSE_AfterComplete"}));
    EXPECT_TRUE(WaitForFile(started, 20000)) << "the product was not started";
}

// A close request while the worker is inside the install script is held
// until the worker is done; the window then closes without starting the
// product, and the process ends normally.
TEST(InstallerWindow, CloseDuringTheInstallWaitsForTheWorker) {
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"WM_CLOSE from outside", WM_CLOSE, 0},
        {"the system menu's close (Alt+F4)", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir product;
        Probe probe;
        probe.Script("global_install_path = " + LuaString(product.path()) + R"(
            function VekSE_OnInstall()
                probe_record("VekSE_OnInstall")
                Lua_MsgBox("installing")
                probe_record("VekSE_OnInstall done")
            end)");
        bool heldOpen = false, boxSeen = false;
        const RunResult run = probe.KeepWindow()
                                  .Timeout(60000)
                                  .WhileRunning([&](DWORD pid) {
                                      HWND window = WaitForInstallerWindow(pid);
                                      if (!window) return;
                                      PressInstall(window);
                                      auto box = WaitForDialog(pid, 20000);  // the worker is inside the event
                                      boxSeen = box.has_value();
                                      DWORD_PTR result = 0;
                                      ::SendMessageTimeoutW(window, c.message, c.wParam, 0, SMTO_ABORTIFHUNG, 20000,
                                                            &result);
                                      heldOpen = ::IsWindow(window) != FALSE;
                                      if (box) PressButton(*box, L"OK");
                                  })
                                  .Run();
        EXPECT_TRUE(boxSeen);
        EXPECT_TRUE(heldOpen);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(probe.Records(),
                  (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_BeforeInstall", "VekSE_OnInstall",
                                            "VekSE_OnInstall done", "VekSE_BeforeComplete"}));
    }
}

// The bar ticks many times while VekSE_OnInstall holds the script state:
// the window never asks for the state from inside the event (the engine
// traces each such entry), and the script sees the position as 0 until the
// worker is done, then the full bar.
TEST(InstallerWindow, ProgressTicksStayOutOfARunningEvent) {
    constexpr int kTicks = 12;
    TempDir product;
    ASSERT_TRUE(::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), (product / L"TovikCCleanerMain.exe").c_str(), FALSE));
    const std::wstring started = product / L"started.txt";
    const std::wstring releaseName = L"Local\\VekProbeRelease-" + std::to_wstring(::GetCurrentProcessId());
    vek::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    ASSERT_TRUE(release.valid());
    Probe probe;
    probe.Script("global_install_path = " + LuaString(product.path()) + R"(
        global_start_parameter = "0 " .. )" + LuaString(started) + R"(
        global_startuseexplorer_level = false
        global_show_completewindow = false
        local k = GLibTab.kernel32
        function VekSE_OnInstall()
            probe_record("VekSE_OnInstall", tostring(global_install_progress_pos))
            local release = k:Get("CreateEventW", "uint")(nil, true, false, WString.New(nil, )" +
                 LuaString(releaseName) + R"())
            k:Get("OutputDebugStringW", "void")(WString.New(nil, "probe inside OnInstall"))
            probe_record("released", (k:Get("WaitForSingleObject", "uint")(release, 60000)))
            k:Get("CloseHandle", "bool")(release)
        end
        function VekSE_BeforeComplete()
            probe_record("VekSE_BeforeComplete", tostring(global_install_progress_pos))
        end
        function VekSE_AfterComplete()
            probe_record("VekSE_AfterComplete", tostring(global_install_progress_pos))
        end)");
    bool inside = false;
    int ticksInside = 0;
    std::vector<std::wstring> crossings;
    const RunResult run =
        probe.KeepWindow()
            .Timeout(90000)
            .OnTrace([&](const std::wstring& line) {
                if (line == L"probe inside OnInstall") inside = true;
                if (inside && line.rfind(L"xm progress tick ", 0) == 0) ++ticksInside;
                if (line.rfind(L"xm script state asked for", 0) == 0) crossings.push_back(line);
                // A window that enters the state blocks on the event: let it go
                // at once instead of after the script's own time-out.
                if (ticksInside == kTicks || !crossings.empty()) ::SetEvent(release.get());
            })
            .WhileRunning([&](DWORD pid) {
                if (HWND window = WaitForInstallerWindow(pid)) PressInstall(window);
            })
            .Run();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(crossings.empty()) << Utf8(crossings.front());
    EXPECT_GE(ticksInside, kTicks) << Utf8(run.Joined());
    EXPECT_EQ(probe.Records(),
              (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_BeforeInstall", "VekSE_OnInstall\t0",
                                        "released\t0", "VekSE_BeforeComplete\t0", "VekSE_AfterComplete\t100"}));
    EXPECT_TRUE(WaitForFile(started, 20000)) << "the product was not started";
}

// Each refusal shows its box with its exact text and leaves the install
// undone; the checks after the first one run on a folder it created.
TEST(InstallerWindow, RefusesBadFoldersAndMissingSpace) {
    const struct {
        const char* name;
        const char* installPath;  // Lua; nil: a fresh folder of the test's
        const char* more;
        const wchar_t* caption;
        const wchar_t* text;
    } cases[] = {
        {"relative path", "[[TovikClean]]", "", L"错误", L"安装路径非法，请重新修改！"},
        {"network path", "[[\\\\server\\share\\TovikClean]]", "", L"错误", L"安装路径非法，请重新修改！"},
        {"invalid backup path", nullptr, "BackUpPath = [[backup]]", L"错误", L"备份路径非法，请重新修改！"},
        {"not enough space", nullptr, "global_need_disk_space = \"1125899906842624\"", L"提示",
         L"磁盘剩余可用空间不足,安装程序需要1073741824.00MB的空间来完成安装！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::wstring folder = dir / L"inst\\TovikClean";
        Probe probe;
        probe.Script(std::string("global_install_path = ") + (c.installPath ? c.installPath : LuaString(folder)) +
                     "\n" + c.more);
        std::optional<DialogInfo> shown;
        const RunResult run = probe.KeepWindow()
                                  .WhileRunning([&](DWORD pid) {
                                      HWND window = WaitForInstallerWindow(pid);
                                      if (!window) return;
                                      PressInstall(window);
                                      shown = WaitForDialog(pid, 20000);
                                      if (shown) PressButton(*shown, L"OK");
                                      ::PostMessageW(window, WM_CLOSE, 0, 0);
                                  })
                                  .Run();
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->caption, c.caption);
        EXPECT_EQ(shown->text, c.text);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(probe.Records(), std::vector<std::string>{"VekSE_BeforeInit"});
        if (!c.installPath) {
            EXPECT_NE(::GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "created by the check";
        }
    }
}
