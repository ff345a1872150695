// The diagnostic log: dated file in the temporary folder, line format, the
// clean-up of earlier days' files, and script log lines.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/probe.h"
#include "tests/support/system.h"

using namespace vektest;

namespace {

// The log lines that mention `marker`.
std::vector<std::string> LogLinesWith(const std::string& marker) {
    std::vector<std::string> lines;
    for (const std::string& line : ReadLines(TodaysLogPath())) {
        if (line.find(marker) != std::string::npos) lines.push_back(line);
    }
    return lines;
}

std::string UniqueMarker() {
    return "marker-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64());
}

}  // namespace

TEST(Log, ScriptLinesCarryTimeLevelThreadAndCallSite) {
    const std::string marker = UniqueMarker();
    Probe probe;
    const RunResult run = probe.Script("Lua_Logout('" + marker + "')\nLua_Logout(42)\nLua_Logout()\n").Run();
    const auto lines = LogLinesWith(marker);
    ASSERT_EQ(lines.size(), 1u);
    const std::regex format(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[info\] \[\d+\] )"
                            R"(\[messages\.cpp Lua_Logout: \d+\] log:)" +
                            marker);
    EXPECT_TRUE(std::regex_match(lines[0], format)) << lines[0];
    EXPECT_TRUE(run.HasTrace(Wide("xm " + marker)));
    EXPECT_TRUE(run.HasTrace(L"xm 42"));
    EXPECT_TRUE(run.HasTrace(L"xm "));  // no argument: empty text
}

TEST(Log, TraceIsCutAtItsBuffer) {
    Probe probe;
    const RunResult run = probe.Script("Lua_Logout(string.rep('a', 1019) .. 'bcdef')\n").Run();
    EXPECT_TRUE(run.HasTrace(L"xm " + std::wstring(1019, L'a') + L"b")) << "1024 units with the terminator";
}

TEST(Log, ChineseTextIsWrittenInTheThreadCodePage) {
    const std::string marker = UniqueMarker();
    Probe probe;
    // The suite runs with a Chinese locale: code page 936.
    ASSERT_EQ(::GetACP(), 936u);
    const RunResult run = probe.Script("Lua_Logout('" + marker + " 中文日志')\n").Run();
    const auto lines = LogLinesWith(marker);
    ASSERT_EQ(lines.size(), 1u);
    const std::string gbk = "\xD6\xD0\xCE\xC4\xC8\xD5\xD6\xBE";  // 中文日志 in code page 936
    EXPECT_NE(lines[0].find(marker + " " + gbk), std::string::npos);
    EXPECT_TRUE(run.HasTrace(Wide("xm " + marker + " 中文日志")));
}

TEST(Log, StartRemovesEarlierDaysOfThisLogOnly) {
    const std::wstring temp = TempFolder();
    const std::wstring old1 = temp + L"TovikInstall_2024-05-05.log";
    const std::wstring old2 = temp + L"TovikInstall_x";
    const std::vector<std::wstring> kept = {temp + L"TovikInstallBackup.log", temp + L"Tovik_Install.log",
                                            temp + L"tovikinstall_2024-05-05.txt"};
    const std::wstring folder = temp + L"TovikInstall_2024-01-01.log";
    const std::wstring base = temp + L"TovikInstall.log";
    const std::string marker = UniqueMarker();
    for (const auto& path : {old1, old2, base}) WriteBytes(path, "old\n");
    for (const auto& path : kept) WriteBytes(path, "keep\n");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WriteBytes(TodaysLogPath(), ReadBytes(TodaysLogPath()) + marker + " earlier line\n");

    Probe().Script("Lua_Logout('" + marker + " new line')\n").Run();

    EXPECT_FALSE(Exists(old1));
    EXPECT_FALSE(Exists(old2));
    EXPECT_FALSE(Exists(base));  // the undated base is removed at every start
    for (const auto& path : kept) EXPECT_TRUE(Exists(path)) << Utf8(path);
    EXPECT_TRUE(Exists(folder));
    const auto lines = LogLinesWith(marker);
    ASSERT_EQ(lines.size(), 2u);  // today's file was appended to
    EXPECT_EQ(lines[0], marker + " earlier line");

    for (const auto& path : kept) ::DeleteFileW(path.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
