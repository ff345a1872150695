// Script-level checks (tests/lua) run inside a test installer: the value
// types and the calls into libraries, as scripts use them.
#include <gtest/gtest.h>

#include "tests/support/dialogs.h"
#include "tests/support/luachecks.h"
#include "tests/support/probe.h"

using namespace vektest;

TEST(ValueTypes, StringsAndBuffers) { RunChecks(L"valuetypes.lua"); }

TEST(NativeCalls, LibrariesExportsAndArguments) {
    // A library with a number for a name, where a bare name is looked for.
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring numbered = std::wstring(system) + L"\\4242.dll";
    ASSERT_TRUE(::CopyFileW(BuildPath(L"vektestlib.dll").c_str(), numbered.c_str(), FALSE));
    RunChecks(L"dllcalls.lua", "testlib_path = " + LuaQuote(BuildPath(L"vektestlib.dll")) +
                                   "\nnative_word_bits = " + std::to_string(8 * sizeof(void*)) +
                                   "\nnumbered_library = 4242");
    ::DeleteFileW(numbered.c_str());
}

TEST(NativeCalls, FailedLookupsAreTraced) {
    const RunResult run = Probe()
                              .Script("local k = DllManager.Load('kernel32')\n"
                                      "k:Get('NoSuchExport')\n"
                                      "getmetatable(k).Get(nil, 'Sleep')\n")
                              .Run();
    EXPECT_TRUE(run.HasTrace(L"if (nullptr == pfn)")) << "sent without the trace tag\n" << Utf8(run.Joined());
    EXPECT_TRUE(run.HasTrace(L"xm if (nullptr == phMod)"));
}

TEST(FileFunctions, FoldersCopiesDeletionsAndNames) { RunChecks(L"files.lua"); }

TEST(RegistryFunctions, QueryAddAndDelete) {
    const RunResult run = RunChecks(L"registry.lua");
    EXPECT_TRUE(run.HasTrace(L"xm OpenKey hkcu failed, errcode: 6\r\n")) << Utf8(run.Joined());
    EXPECT_TRUE(run.HasTrace(L"xm DeleteSubKey Software\\VekTest\\no such key failed, errcode: 2"));
    EXPECT_TRUE(run.HasTrace(L"xm Fun:Lua_RegDel, Description:HKCC without a subkey, refused!\r\n"));
    EXPECT_TRUE(run.HasTrace(L"xm Delete Value HKCU, Software, VekNoSuchValue"));
}

TEST(SystemFunctions, VersionArgumentsFoldersPrivilegesAndProcesses) {
    const RunResult run = RunChecks(L"system.lua", "own_args = '/a|b c'", L"/a \"b c\"");
    EXPECT_TRUE(run.HasTrace(L"xm LookupPrivilegeValue failed!xm err:1313\r\n")) << Utf8(run.Joined());
    EXPECT_TRUE(run.HasTrace(L"xm SHGetSpecialFolderPathW csidl=9999 failed!\r\n"));
}

TEST(ArchiveFunctions, ExtractionMethodsResourcesAndBadArchives) {
    const RunResult run = RunChecks(L"archive.lua", "archives = " + LuaQuote(BuildPath(L"archives")));
    EXPECT_TRUE(run.HasTrace(L"xm Fun:Lua_UnCompress7z ,LoadResource failed!\r\n"));
    EXPECT_TRUE(run.HasTrace(L"xm UnCompress successful.\r\n"));
    EXPECT_TRUE(run.HasTrace(L"xm Fun:Lua_UnCompress7z, Description: UnCompress failed.!\r\n"));
    EXPECT_TRUE(run.HasTrace(L"xm Fun:Lua_ExtractResource ,LoadResource failed!\r\n"));
    EXPECT_TRUE(run.HasTrace(
        L"xm Fun:Lua_UnCompress7z, Description:entry ..\\first.txt leaves the destination, refused!\r\n"));
    EXPECT_TRUE(run.HasTrace(
        L"xm Fun:Lua_UnCompress7z, Description:entry nul.AA_first is a name Windows would change, refused!\r\n"));
    // Progress for the log: a line at each tenth of the bytes written, the
    // last one at the whole (the test tree's files, 5583805 bytes).
    EXPECT_TRUE(run.HasTrace(L"xm UnCompress 100% (5583805 of 5583805 bytes).\r\n")) << Utf8(run.Joined());
    size_t extractions = 0, tenths = 0;
    for (const std::wstring& line : run.traces) {
        if (line.rfind(L"xm UnCompress ", 0) != 0) continue;
        if (line.find(L" to ") != std::wstring::npos) ++extractions;
        if (line.find(L"% (") != std::wstring::npos) ++tenths;
    }
    EXPECT_GT(tenths, 0u);
    EXPECT_LE(tenths, 10 * extractions);
}

TEST(ScriptModules, RequireNeverLoadsAFile) {
    Probe probe;
    // A module where the current folder, LUA_PATH and LUA_CPATH would find it.
    WriteBytes(probe.dir() / L"vekmodule.lua", "vekmodule_loaded = true\n");
    const std::wstring pattern = probe.dir() / L"?.lua";
    probe.Folder(probe.dir().path())
        .Env(L"LUA_PATH", pattern)
        .Env(L"LUA_PATH_5_2", pattern)
        .Env(L"LUA_CPATH", probe.dir() / L"?.dll")
        .Script("probe_record(package.path, package.cpath, (pcall(require, 'vekmodule')), tostring(vekmodule_loaded))\n")
        .Run();
    EXPECT_EQ(probe.Records().front(), "\t\tfalse\tnil");
}
