// Shell functions: shortcuts read back through the shell's own interfaces,
// component registration, and the ways of starting programs.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "tests/support/probe.h"
#include "tests/support/shelllinks.h"
#include "utility/base/handles.h"
#include "utility/base/vekprocesstoolhelp.h"

using namespace vektest;

namespace {

DWORD ReadDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0xFFFF, size = sizeof value;
    ::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

}  // namespace

TEST(Shortcuts, FileAndUrlTargets) {
    Probe probe;
    const std::wstring target = BuildPath(L"veksleeper.exe");
    const std::wstring links = probe.dir() / L"links\\deeper";
    const std::string t = LuaQuote(target), at = LuaQuote(links + L"\\");
    probe.Script("probe_record(tostring(Lua_CreateShortcut(" + t + ", " + at + " .. 'four.lnk', '/menu', nil)))\n" +
                 "probe_record(tostring(Lua_CreateShortcut(" + t + ", " + at + " .. 'three.lnk', '/ignored')))\n" +
                 "probe_record(tostring(Lua_CreateShortcut(" + t + ", " + at + " .. 'desc.lnk', '', '说明')))\n" +
                 "Lua_CreateShortcut('C:\\\\old.exe', " + at + " .. 'over.lnk')\n" +
                 "probe_record(tostring(Lua_CreateShortcut(" + t + ", " + at + " .. 'over.lnk')))\n" +
                 "probe_record(tostring(Lua_CreateShortcut('https://www.tovik.example/%TEMP%', " + at +
                 " .. 'site.url', '/x', 'y')))\n");
    const RunResult run = probe.Run();
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"true", "true", "true", "true", "true", "VekSE_BeforeInit"}));
    const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));

    const Link four = ReadLink(links + L"\\four.lnk");
    EXPECT_EQ(four.path, target);
    EXPECT_EQ(four.arguments, L"/menu");
    EXPECT_EQ(four.folder, folder);
    EXPECT_EQ(four.description, L"");
    EXPECT_EQ(ReadLink(links + L"\\three.lnk").arguments, L"") << "three arguments: no arguments text";
    EXPECT_EQ(ReadLink(links + L"\\desc.lnk").description, L"说明");
    EXPECT_EQ(ReadLink(links + L"\\over.lnk").path, target) << "an existing shortcut is overwritten";
    const std::string url = ReadBytes(links + L"\\site.url");
    EXPECT_NE(url.find("URL=https://www.tovik.example/%TEMP%"), std::string::npos) << url;
    EXPECT_TRUE(run.HasTrace(L"xm Save Shortcut " + links + L"\\four.lnk \r\n"));
}

TEST(Shortcuts, TargetIsExpanded) {
    Probe probe;
    const std::wstring link = probe.dir() / L"env.lnk";
    probe.Script("Lua_CreateShortcut('%WINDIR%\\\\notepad.exe', " + LuaQuote(link) + ", '', nil)\n").Run();
    wchar_t windows[MAX_PATH];
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(_wcsicmp(ReadLink(link).path.c_str(), (std::wstring(windows) + L"\\notepad.exe").c_str()), 0)
        << Utf8(ReadLink(link).path);
}

TEST(Registration, RegSvr32CallsTheEntryPointsAndRegistDllStartsTheTool) {
    const wchar_t* key = L"Software\\VekTest\\Registration";
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key);
    Probe probe;
    const std::string lib = LuaQuote(BuildPath(L"vektestlib.dll"));
    probe.Script("probe_record(tostring(Lua_RegSvr32(" + lib + ", true)))\n"
                 "probe_record(tostring(Lua_RegSvr32(Lua_GetModuleFileName('kernel32.dll'), true)))\n"
                 "probe_record(tostring(Lua_RegSvr32('C:\\\\no\\\\such.dll', true)))\n");
    const RunResult run = probe.Run();
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"true", "false", "false", "VekSE_BeforeInit"}));
    EXPECT_EQ(ReadDword(key, L"Registered"), 1u);
    EXPECT_TRUE(run.HasTrace(L"xm Fun:Lua_RegSvr32, Description:C:\\no\\such.dll it's not exists!\r\n"));

    Probe unregister;
    unregister.Script("probe_record(tostring(Lua_RegSvr32(" + lib + ", nil)))\n").Run();
    EXPECT_EQ(unregister.Records().front(), "true");
    EXPECT_EQ(ReadDword(key, L"Registered"), 0u) << "a nil flag unregisters";

    Probe tool;
    tool.Script("probe_record(tostring(Lua_RegistDll(" + lib + ", '/s')))\n").Run();
    EXPECT_EQ(tool.Records().front(), "true");
    EXPECT_TRUE(Eventually([&] { return ReadDword(key, L"Registered") == 1u; })) << "regsvr32 /s ran";
}

// Whether a process of this image name runs; ends them all when `end`.
static bool Running(const std::wstring& image, bool end = false) {
    bool found = false;
    vek::ForEachProcess([&](const vek::ProcessEntry& p) {
        if (_wcsicmp(p.exeName.c_str(), image.c_str()) != 0) return;
        found = true;
        if (end) {
            vek::UniqueHandle h(::OpenProcess(PROCESS_TERMINATE, FALSE, p.pid));
            if (h) ::TerminateProcess(h.get(), 0);
        }
    });
    return found;
}

TEST(ProgramStarts, WaitShellAndExplorer) {
    Probe probe;
    const std::string sleeper = LuaQuote(BuildPath(L"veksleeper.exe"));
    const std::wstring record = probe.dir() / L"args.txt";
    const std::wstring viaShell = probe.dir() / L"shell.txt";
    // Copies with names of their own, to find them among the processes.
    const std::wstring explorerCopy = probe.dir() / L"vekviaexplorer.exe";
    const std::wstring execCopy = probe.dir() / L"vekviaexec.exe";
    ::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), explorerCopy.c_str(), FALSE);
    ::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), execCopy.c_str(), FALSE);
    probe.Script(
        "local t0 = os.clock()\n"
        "probe_record(tostring(Lua_Exec(" + sleeper + ", nil, '700 ' .. " + LuaQuote(record) + " .. ' %TEMP%', true)))\n"
        "probe_record(os.clock() - t0 >= 0.6)\n"
        "t0 = os.clock()\n"
        "probe_record(tostring(Lua_Exec(" + sleeper + ", 'open', '3000')))\n"
        "probe_record(os.clock() - t0 < 2)\n"
        "t0 = os.clock()\n"
        "probe_record(tostring(Lua_Exec(" + LuaQuote(execCopy) + ", 'bogus', '', true, true)))\n"
        "probe_record(os.clock() - t0 < 2)\n"
        "probe_record(tostring(Lua_ShellExec(" + sleeper + ", '0 ' .. " + LuaQuote(viaShell) + ")))\n"
        "probe_record(tostring(Lua_ExplorerExec(" + LuaQuote(explorerCopy) + ", '')))\n"
        "probe_record(tostring(Lua_Exec('C:\\\\missing.lnk', 'TASKBARUNPIN')))\n"
        "probe_record(tostring(Lua_Exec('C:\\\\missing.lnk', 'startunpin')))\n"
        "probe_record(tostring(Lua_Exec('C:\\\\missing.lnk', 'open')))\n");
    const RunResult run = probe.Run();
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"true", "true", "true", "true", "true", "true", "true",
                                                         "true", "true", "true", "false", "VekSE_BeforeInit"}));
    // The waited start got its parameters unexpanded.
    const std::string args = ReadBytes(record);
    const std::wstring line(reinterpret_cast<const wchar_t*>(args.data()), args.size() / 2);
    EXPECT_NE(line.find(L"%TEMP%"), std::wstring::npos) << Utf8(line);
    EXPECT_TRUE(Eventually([&] { return Exists(viaShell); })) << "Lua_ShellExec started the program";
    EXPECT_TRUE(Eventually([&] { return Running(L"vekviaexplorer.exe"); })) << "started through explorer.exe";
    EXPECT_TRUE(Eventually([&] { return Running(L"vekviaexec.exe"); })) << "Lua_Exec through the shell program";
    Running(L"vekviaexplorer.exe", true);
    Running(L"vekviaexec.exe", true);
    int missing = 0;
    for (const auto& t : run.traces) missing += t == L"xm Fun:Lua_Exec, Description:C:\\missing.lnk it's not exists!\r\n";
    EXPECT_EQ(missing, 1) << "only the open verb reports the missing file";
}
