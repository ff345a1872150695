// The installer runs elevated from a folder others can write to (Downloads):
// libraries and programs planted there under system names are never used.
#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/probe.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"
#include "utility/base/vekprocesstoolhelp.h"

using namespace vektest;

namespace {

// (version.dll and Shcore.dll are delay-loaded and loaded by full path too,
// but under Wine the system's own user32 and shlwapi import them before any
// code of the program runs, so a planted copy cannot be told apart here.)
const wchar_t* const kPlantedLibraries[] = {L"gdiplus", L"comctl32", L"crypt32", L"bcrypt"};

// Wine prefers its built-in system libraries; told to take "native, then
// built-in" ones for these names in this program, it searches for them as
// Windows would.
class NativeFirst {
public:
    explicit NativeFirst(const std::wstring& program) : key_(L"Software\\Wine\\AppDefaults\\" + program) {
        HKEY key = nullptr;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, (key_ + L"\\DllOverrides").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          &key, nullptr);
        for (const wchar_t* name : kPlantedLibraries) {
            const wchar_t order[] = L"native,builtin";
            ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
        }
        ::RegCloseKey(key);
    }
    ~NativeFirst() { ::RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str()); }

private:
    std::wstring key_;
};

std::vector<std::wstring> Markers(const std::wstring& folder) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW entry;
    HANDLE search = ::FindFirstFileW((folder + L"\\*.*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        const std::wstring name = entry.cFileName;
        const size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos && (name.substr(dot) == L".loaded" || name.substr(dot) == L".ran"))
            found.push_back(name);
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return found;
}

// Ends the processes of this image name; returns how many there were.
int EndProcesses(const std::wstring& image) {
    int count = 0;
    vek::ForEachProcess([&](const vek::ProcessEntry& p) {
        if (_wcsicmp(p.exeName.c_str(), image.c_str()) != 0) return;
        ++count;
        vek::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, p.pid));
        if (process) ::TerminateProcess(process.get(), 0);
    });
    return count;
}

}  // namespace

TEST(Planting, LibrariesBesideTheInstallerAreNeverLoaded) {
    for (const wchar_t* args : {L"", L"/InstallSlience true"}) {
        SCOPED_TRACE(Utf8(args));
        Probe probe;
        const std::wstring setup = probe.dir() / L"vekplantedsetup.exe";
        ASSERT_TRUE(::CopyFileW(InstallerPath(L"probe").c_str(), setup.c_str(), FALSE));
        const NativeFirst nativeFirst(L"vekplantedsetup.exe");
        for (const wchar_t* name : kPlantedLibraries) {
            const std::wstring planted = probe.dir() / (std::wstring(name) + L".dll");
            ASSERT_TRUE(::CopyFileW(BuildPath(L"vekplanteddll.dll").c_str(), planted.c_str(), FALSE));
        }
        const RunResult run =
            probe.Program(setup).Folder(probe.dir().path()).Args(args).Run();
        EXPECT_EQ(run.exitCode, 0u) << Utf8(run.Joined());
        const std::vector<std::string> records = probe.Records();
        ASSERT_FALSE(records.empty()) << "the installer did not get to its first event";
        EXPECT_EQ(records.front(), "VekSE_BeforeInit");
        if (args[0]) {
            EXPECT_EQ(records.back(), "VekSE_AfterComplete");
        }
        for (const std::wstring& marker : Markers(probe.dir().path())) ADD_FAILURE() << "loaded: " << Utf8(marker);
    }
}

TEST(Planting, SystemProgramsAreTakenFromTheSystem) {
    Probe probe;
    const std::wstring setup = probe.dir() / L"setup.exe";
    ASSERT_TRUE(::CopyFileW(InstallerPath(L"probe").c_str(), setup.c_str(), FALSE));
    for (const wchar_t* name : {L"explorer.exe", L"cmd.exe", L"regsvr32.exe"}) {
        ASSERT_TRUE(::CopyFileW(BuildPath(L"vekplanted.exe").c_str(), (probe.dir() / name).c_str(), FALSE));
    }
    // Each start leaves a sign of the real program: a file cmd.exe wrote, the
    // registration regsvr32 made, a program explorer.exe started.
    const std::wstring viaShellExec = probe.dir() / L"shellexec.txt";
    const std::wstring viaExec = probe.dir() / L"exec.txt";
    const std::wstring started = probe.dir() / L"vekplantedviaexplorer.exe";
    ASSERT_TRUE(::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), started.c_str(), FALSE));
    const wchar_t key[] = L"Software\\VekTest\\Registration";
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key);
    probe.Script("probe_record(tostring(Lua_ShellExec('cmd.exe', '/c type nul > \"' .. " + LuaQuote(viaShellExec) +
                 " .. '\"')))\n"
                 "probe_record(tostring(Lua_Exec('cmd.exe', nil, '/c type nul > \"' .. " + LuaQuote(viaExec) +
                 " .. '\"', true)))\n"
                 "probe_record(tostring(Lua_RegistDll(" + LuaQuote(BuildPath(L"vektestlib.dll")) + ", '/s')))\n"
                 "probe_record(tostring(Lua_ExplorerExec(" + LuaQuote(started) + ", '')))\n");
    const RunResult run = probe.Folder(probe.dir().path()).Run();
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"true", "true", "true", "true", "VekSE_BeforeInit"}))
        << Utf8(run.Joined());
    EXPECT_TRUE(Exists(viaExec));
    EXPECT_TRUE(Eventually([&] { return Exists(viaShellExec); })) << "the system's cmd.exe ran";
    EXPECT_TRUE(Eventually([&] {
        DWORD value = 0, size = sizeof value;
        return ::RegGetValueW(HKEY_CURRENT_USER, key, L"Registered", RRF_RT_REG_DWORD, nullptr, &value, &size) ==
                   ERROR_SUCCESS && value == 1;
    })) << "the system's regsvr32.exe ran";
    EXPECT_TRUE(Eventually([&] { return EndProcesses(L"vekplantedviaexplorer.exe") > 0; }))
        << "the system's explorer.exe started the program";
    for (const std::wstring& marker : Markers(probe.dir().path())) ADD_FAILURE() << "ran: " << Utf8(marker);
}
