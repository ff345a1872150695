// Before VekSE_OnInstall the install manager ends the running processes of
// the product's tools: executables one level below <install>\Tools\.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "tests/support/probe.h"
#include "tests/support/system.h"

using namespace vektest;

namespace {

struct Tool {
    std::wstring placed;   // copy below the install folder, or empty
    std::wstring running;  // image name of a running process
    bool ended;
};

void Copy(const std::wstring& to) {
    const std::wstring folder = to.substr(0, to.find_last_of(L'\\'));
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), to.c_str(), FALSE)) << Utf8(to);
}

}  // namespace

TEST(InstallManager, EndsToolProcessesBeforeTheInstallEvent) {
    const Tool tools[] = {
        {L"Tools\\cleaner\\tool.exe", L"tool.exe", true},
        {L"", L"TOOL.EXE", true},  // image names match ignoring case
        {L"Tools\\cleaner\\helper.exe", L"helper.exe", true},
        {L"Tools\\direct.exe", L"direct.exe", false},           // not one level down
        {L"Tools\\cleaner\\caps.EXE", L"caps.EXE", false},       // extension is case-sensitive
        {L"Tools\\cleaner\\inner\\deep.exe", L"deep.exe", false},  // two levels down
        {L"", L"bystander.exe", false},
    };
    TempDir install, running;
    std::vector<Started> processes;
    for (size_t i = 0; i < std::size(tools); ++i) {
        if (!tools[i].placed.empty()) Copy(install / tools[i].placed);
        const std::wstring image = running / (std::to_wstring(i) + L"\\" + tools[i].running);
        Copy(image);
        processes.push_back(StartProcess(image, L"60000"));
        ASSERT_TRUE(processes.back().process.valid());
    }

    Probe probe;
    const std::string marker = "tools-" + std::to_string(::GetTickCount64());
    probe.Script("global_install_path = " + LuaQuote(install.path()) +
                 "\nfunction VekSE_OnInstall() Lua_Logout('" + marker + "') end\n");
    const RunResult run = probe.Args(L"/InstallSlience true").Run();
    EXPECT_EQ(run.exitCode, 0u);

    for (size_t i = 0; i < std::size(tools); ++i) {
        SCOPED_TRACE(Utf8(tools[i].running));
        const DWORD code = WaitExit(processes[i].process.get(), tools[i].ended ? 5000 : 0);
        EXPECT_EQ(code, tools[i].ended ? 10000u : STILL_ACTIVE);
        if (code == STILL_ACTIVE) ::TerminateProcess(processes[i].process.get(), 0);
    }

    // Log: the tools folder, the tool folder, its executables, then the event.
    const std::string toolsFolder = Utf8(install.path()) + "\\Tools\\";
    std::vector<std::string> messages;
    for (const std::string& line : ReadLines(TodaysLogPath())) {
        const size_t site = line.find("[installmgr.cpp KillAllToolProcess: ");
        std::string message;
        if (site != std::string::npos) {
            message = line.substr(line.find("] ", site) + 2);
        } else if (line.find("log:" + marker) != std::string::npos) {
            message = "event";
        } else {
            continue;
        }
        if (message == "strAppPath:" + toolsFolder) messages.clear();
        messages.push_back(message);
    }
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], "strAppPath:" + toolsFolder);
    EXPECT_EQ(messages[1], toolsFolder + "cleaner");
    std::sort(messages.begin() + 2, messages.begin() + 4);
    EXPECT_EQ(messages[2], "2:----helper.exe");
    EXPECT_EQ(messages[3], "2:----tool.exe");
    EXPECT_EQ(messages[4], "event");
}
