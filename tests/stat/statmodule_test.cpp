// The installer's statistics module against the loopback server: what the
// library beside the program receives, the union id and version it finds,
// the cache file, and the cases without library or with a missing export.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "tests/support/statserver.h"
#include "tests/support/probe.h"
#include "tests/support/process.h"
#include "tests/support/testenv.h"

using namespace vektest;

namespace {

const wchar_t kProductKey[] = L"SOFTWARE\\TovikClean";
const std::string kProbeFigures = " app=201 union=13005 level=0 ver=3.4.5.6";

// The library with one export's name spoilt, so that GetProcAddress misses it.
void CopyWithoutExport(const std::wstring& from, const std::wstring& to, const std::string& name) {
    std::string bytes = ReadBytes(from);
    const size_t at = bytes.find(name + '\0');
    ASSERT_NE(at, std::string::npos);
    bytes[at + name.size() - 1] = 'X';  // the name table stays in order
    ASSERT_TRUE(WriteBytes(to, bytes));
}

enum class Libraries { Both, StatOnly, None };

// A folder with a copy of the probe program and the libraries chosen.
class ModuleRun {
public:
    explicit ModuleRun(Libraries libraries = Libraries::Both, const std::wstring& probe = L"vekstatprobe.exe") {
        exe_ = dir_ / L"probe.exe";
        EXPECT_TRUE(::CopyFileW(BuildPath(probe).c_str(), exe_.c_str(), FALSE));
        if (libraries != Libraries::None) Copy(L"qorstat.dll");
        if (libraries == Libraries::Both) Copy(L"udp_qor.dll");
    }
    void Copy(const std::wstring& name) {
        EXPECT_TRUE(::CopyFileW(ProductPath(name).c_str(), (dir_ / name).c_str(), FALSE));
    }
    const TempDir& dir() const { return dir_; }

    // Runs the probe; the datagrams that reached the dispatch port after it.
    RunResult Run(const std::wstring& args, size_t expectRecords = 0,
                  std::vector<std::pair<std::wstring, std::wstring>> env = {}) {
        const size_t mark = server_.Mark();
        RunOptions options;
        options.exe = exe_;
        options.args = args;
        options.env = std::move(env);
        RunResult run = RunTraced(options);
        EXPECT_EQ(run.exitCode, 0u);
        // The library has sent everything when the probe ends; past the
        // expected ones, a short wait shows that nothing more comes.
        server_.WaitFor(mark, expectRecords, 3000);
        ::Sleep(250);
        const std::vector<StatRecord> records = server_.Since(mark);
        datagrams_.clear();
        for (const StatRecord& r : StatServer::On(records, server_.Port("udp_dispatch"))) datagrams_.push_back(r.payload);
        return run;
    }
    const std::vector<std::string>& Datagrams() const { return datagrams_; }

private:
    TempDir dir_;
    std::wstring exe_;
    StatServer server_;
    std::vector<std::string> datagrams_;
};

// HKCU\SOFTWARE\TovikClean\UnionId for one test, removed afterwards.
class UnionIdValue {
public:
    UnionIdValue() { Remove(); }
    ~UnionIdValue() { Remove(); }
    void Set(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kProductKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ::RegSetValueExW(key, L"UnionId", 0, type, static_cast<const BYTE*>(data), size);
        ::RegCloseKey(key);
    }
    void SetDword(DWORD value) { Set(REG_DWORD, &value, sizeof(value)); }

private:
    static void Remove() { ::RegDeleteKeyW(HKEY_CURRENT_USER, kProductKey); }
};

int ProbeInit(const RunResult& run) {
    if (run.HasTrace(L"probe init=1")) return 1;
    return run.HasTrace(L"probe init=0") ? 0 : -1;
}

long ShutdownMs(const RunResult& run) {
    for (const std::wstring& t : run.traces) {
        if (t.rfind(L"probe shutdown_ms=", 0) == 0) return std::stol(t.substr(18));
    }
    return -1;
}

std::wstring CacheFolder() {
    wchar_t local[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\RuvoDesktop";
}

}  // namespace

TEST(StatModule, SendsTheFiguresThenTheActionsInOrderThenGoesOffline) {
    UnionIdValue unionId;
    unionId.SetDword(13005);
    for (const wchar_t* host : {L"127.0.0.1", L"localhost"}) {
        ModuleRun module;
        const RunResult run = module.Run(L"201 " + std::wstring(host) + L" - 25104 25106", 4);
        EXPECT_EQ(ProbeInit(run), 1) << Utf8(run.Joined());
        EXPECT_EQ(module.Datagrams(), (std::vector<std::string>{
                                          "QOR1 init" + kProbeFigures,
                                          "QOR1 action" + kProbeFigures + " ids=25104 flag=0",
                                          "QOR1 action" + kProbeFigures + " ids=25106 flag=0",
                                          "QOR1 offline" + kProbeFigures,
                                      }))
            << Utf8(host);
    }
}

TEST(StatModule, ReportsTheStoredUnionIdFromOneHundredAndTheLowByteOfTheAppId) {
    const DWORD small = 99, lowest = 100, channel = 13005;
    const unsigned long long wide = 13005;
    const struct {
        const wchar_t* appId;
        DWORD type;  // REG_NONE: no value at all
        const void* data;
        DWORD size;
        const char* expected;  // app and union as reported
    } cases[] = {
        {L"201", REG_NONE, nullptr, 0, "app=201 union=4003"},
        {L"201", REG_DWORD, &small, 4, "app=201 union=4003"},
        {L"201", REG_DWORD, &lowest, 4, "app=201 union=100"},
        {L"456", REG_DWORD, &channel, 4, "app=200 union=13005"},
        {L"201", REG_SZ, L"13005", 12, "app=201 union=4003"},
        {L"201", REG_QWORD, &wide, 8, "app=201 union=4003"},
    };
    for (const auto& c : cases) {
        UnionIdValue unionId;
        if (c.type != REG_NONE) unionId.Set(c.type, c.data, c.size);
        ModuleRun module;
        module.Run(std::wstring(c.appId) + L" 127.0.0.1 -", 2);
        ASSERT_FALSE(module.Datagrams().empty()) << c.expected;
        EXPECT_EQ(module.Datagrams()[0], std::string("QOR1 init ") + c.expected + " level=0 ver=3.4.5.6");
    }
}

TEST(StatModule, WithoutAVersionResourceReportsVersion1_0_0_1) {
    UnionIdValue unionId;
    ModuleRun module(Libraries::Both, L"vekstatprobe_nover.exe");
    module.Run(L"201 127.0.0.1 -", 2);
    ASSERT_FALSE(module.Datagrams().empty());
    EXPECT_EQ(module.Datagrams()[0], "QOR1 init app=201 union=4003 level=0 ver=1.0.0.1");
}

// Without qorstat.dll, or without its sender udp_qor.dll, nothing is sent
// and the run still ends normally with every report handled.
TEST(StatModule, WithoutTheLibrariesReportsAreDroppedQuietly) {
    for (Libraries libraries : {Libraries::None, Libraries::StatOnly}) {
        ModuleRun module(libraries);
        const RunResult run = module.Run(L"201 127.0.0.1 - 25104 25106");
        EXPECT_EQ(ProbeInit(run), 0);
        EXPECT_GE(ShutdownMs(run), 0);
        EXPECT_TRUE(module.Datagrams().empty());
    }
}

TEST(StatModule, AMissingExportSkipsOnlyItsOwnCall) {
    UnionIdValue unionId;
    unionId.SetDword(13005);
    const struct {
        const char* name;
        std::vector<std::string> expected;
    } cases[] = {
        {"stat_unionid",
         {"QOR1 init app=201 union=0 level=0 ver=3.4.5.6", "QOR1 action app=201 union=0 level=0 ver=3.4.5.6 ids=25104 flag=0",
          "QOR1 offline app=201 union=0 level=0 ver=3.4.5.6"}},
        {"stat_offline", {"QOR1 init" + kProbeFigures, "QOR1 action" + kProbeFigures + " ids=25104 flag=0"}},
        {"stat_init", {}},  // the sender never starts: nothing leaves
    };
    for (const auto& c : cases) {
        ModuleRun module(Libraries::None);
        module.Copy(L"udp_qor.dll");
        CopyWithoutExport(ProductPath(L"qorstat.dll"), module.dir() / L"qorstat.dll", c.name);
        const RunResult run = module.Run(L"201 127.0.0.1 - 25104", c.expected.size());
        EXPECT_EQ(module.Datagrams(), c.expected) << c.name;
        EXPECT_EQ(ProbeInit(run), std::string(c.name) == "stat_init" ? 0 : 1) << c.name;
    }
}

TEST(StatModule, CacheFileGetsOneLinePerActionOnlyOnceItExists) {
    const std::wstring folder = CacheFolder() + L"\\data";
    const std::wstring cache = folder + L"\\vekstat_probe.dat";
    ::DeleteFileW(cache.c_str());
    {
        ModuleRun module;
        module.Run(L"201 127.0.0.1 vekstat_probe.dat 25104", 3);
        EXPECT_TRUE(Exists(folder));
        EXPECT_FALSE(Exists(cache)) << "a missing cache file is not created";
    }
    ASSERT_TRUE(WriteBytes(cache, "1,\n"));
    {
        ModuleRun module;
        module.Run(L"201 127.0.0.1 vekstat_probe.dat 25104 25106", 4);
    }
    {
        ModuleRun module(Libraries::None);  // written also without the library
        module.Run(L"201 127.0.0.1 vekstat_probe.dat 25105");
    }
    EXPECT_EQ(ReadBytes(cache), "1,\n25104,\n25106,\n25105,\n");
    ::DeleteFileW(cache.c_str());
}

TEST(StatModule, WithoutACacheNameNoFolderIsMade) {
    RemoveTree(CacheFolder());
    ModuleRun module;
    module.Run(L"201 127.0.0.1 - 25104", 3);
    EXPECT_FALSE(Exists(CacheFolder()));
}

// Nobody at the address, or a name that does not resolve: the shutdown
// still ends within the library's 200 ms close wait and a margin.
TEST(StatModule, ShutdownIsBoundedWhenTheServerIsDead) {
    std::wstring actions;
    for (int i = 0; i < 50; ++i) actions += L" 25104";
    for (const wchar_t* host : {L"127.0.0.2", L"stat.invalid"}) {
        ModuleRun module;
        const ULONGLONG begin = ::GetTickCount64();
        const RunResult run = module.Run(L"201 " + std::wstring(host) + L" -" + actions + L" --now");
        const ULONGLONG total = ::GetTickCount64() - begin;
        const long shutdown = ShutdownMs(run);
        EXPECT_GE(shutdown, 0) << Utf8(run.Joined());
        EXPECT_LT(shutdown, 1000) << Utf8(host);
        EXPECT_LT(total, 10000u) << Utf8(host);
        EXPECT_TRUE(module.Datagrams().empty());
    }
}

// A program that ends without Shutdown while a report is inside the library
// (here the recording stand-in, whose report call takes a second): the
// module's destruction lets the call end before the library is unloaded.
TEST(StatModule, DestructionWaitsForTheRunningReportBeforeUnloadingTheLibrary) {
    ModuleRun module(Libraries::None);
    ASSERT_TRUE(::CopyFileW(BuildPath(L"vekstatrecorder.dll").c_str(), (module.dir() / L"qorstat.dll").c_str(), FALSE));
    const std::wstring calls = module.dir() / L"calls.txt";
    const RunResult run = module.Run(L"201 127.0.0.1 - 25104 --exit-in-call", 0,
                                     {{L"VEK_STAT_RECORD", calls}, {L"VEK_STAT_SLOW_CALL_MS", L"1000"}});
    const std::vector<std::string> lines = ReadLines(calls);
    ASSERT_GE(lines.size(), 2u) << Utf8(run.Joined());
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"stat_mutilaction 25104 count 1 flag 0", "unloaded"}));
}

// The installer itself: an interactive run initialises the module with its
// application id, its own version and the fixed dispatch server, and shuts
// it down at the end; a silent run leaves it alone. The library here is a
// stand-in that records its calls.
TEST(StatModule, TheInstallerReportsThroughTheLibraryBesideItInInteractiveRunsOnly) {
    UnionIdValue unionId;
    unionId.SetDword(13005);
    const std::vector<std::string> interactive = {
        "stat_appid 201", "stat_unionid 13005", "stat_version_ex 1 0 12 46",
        "stat_dispatch_addr dispatch.stat.tovikclean.com 8700", "stat_init", "stat_offline", "stat_close 200"};
    std::vector<std::string> ownMutex = interactive;
    ownMutex[0] = "stat_appid 0";  // a mutex name of the configuration's own zeroes the id
    const struct {
        const wchar_t* args;
        const char* script;
        std::vector<std::string> calls;
    } cases[] = {
        {L"", "", interactive},
        {L"", "global_install_mutex_guid = 'Local\\\\VekStatTest'", ownMutex},
        {L"/InstallSlience true", "", {}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        ASSERT_TRUE(::CopyFileW(InstallerPath(L"probe").c_str(), (dir / L"setup.exe").c_str(), FALSE));
        ASSERT_TRUE(::CopyFileW(BuildPath(L"vekstatrecorder.dll").c_str(), (dir / L"qorstat.dll").c_str(), FALSE));
        Probe probe;
        const RunResult run =
            probe.Program(dir / L"setup.exe").Args(c.args).Script(c.script).Env(L"VEK_STAT_RECORD", dir / L"calls.txt").Run();
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(ReadLines(dir / L"calls.txt"), c.calls) << Utf8(c.args) << c.script;
    }
}
