// File functions against files that another process holds open without
// sharing: the retry box of Lua_DeleteFile and the failure callback of
// Lua_DelFileRecursiveEx.
#include <gtest/gtest.h>

#include "tests/support/dialogs.h"
#include "tests/support/probe.h"

using namespace vektest;

namespace {

// Holds a file open without sharing, as a running program does.
vek::UniqueFile Lock(const std::wstring& path) {
    return vek::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
}

}  // namespace

TEST(DeleteFileBox, AnswersDecideTheResult) {
    const struct {
        const wchar_t* answer;
        bool unlockFirst;
        std::vector<std::string> records;
        bool fileStays;
    } cases[] = {
        {L"Ignore", false, {"true", "VekSE_BeforeInit"}, true},
        {L"Retry", true, {"true", "VekSE_BeforeInit"}, false},
        {L"Abort", false, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.answer));
        Probe probe;
        const std::wstring file = probe.dir() / L"busy.dat";
        vek::UniqueFile lock = Lock(file);
        ASSERT_TRUE(lock.valid());
        std::optional<DialogInfo> box;
        probe.Script("probe_record(tostring(Lua_DeleteFile(" + LuaQuote(file) + ")))\n")
            .WhileRunning([&](DWORD pid) {
                box = WaitForDialog(pid, 20000);
                if (c.unlockFirst) lock.reset();
                if (box) PressButton(*box, c.answer);
            });
        const RunResult run = probe.Run();
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->caption, L"提示");
        EXPECT_EQ(box->text, L"无法删除\"" + file +
                                 L"\"，可能是被占用，请关闭占用程序后点击重试或者点击忽略在卸载完成之后手动删除！");
        EXPECT_EQ(box->buttons.size(), 3u);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(probe.Records(), c.records);
        lock.reset();
        EXPECT_EQ(Exists(file), c.fileStays);
        if (std::wstring(c.answer) == L"Ignore") {
            EXPECT_TRUE(run.HasTrace(L"xm Delete " + file + L" failed!\r\n")) << Utf8(run.Joined());
        }
    }
}

TEST(DeleteFileEx, LockedFileFailsWithoutDialog) {
    Probe probe;
    const std::wstring file = probe.dir() / L"busy.dat";
    vek::UniqueFile lock = Lock(file);
    probe.Script("probe_record(tostring(Lua_DeleteFileEx(" + LuaQuote(file) + ")))\n");
    const RunResult run = probe.Timeout(20000).Run();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"false", "VekSE_BeforeInit"}));
}

TEST(DelFileRecursiveEx, ReportsEachFileThatStays) {
    Probe probe;
    const std::wstring tree = probe.dir() / L"tree";
    ::CreateDirectoryW(tree.c_str(), nullptr);
    ::CreateDirectoryW((tree + L"\\sub").c_str(), nullptr);
    for (const wchar_t* name : {L"\\a.txt", L"\\sub\\b.txt", L"\\sub\\c.txt"}) WriteBytes(tree + name, "data");
    vek::UniqueFile lock = Lock(tree + L"\\sub\\locked.txt");
    probe.Script("Lua_DelFileRecursiveEx(" + LuaQuote(tree) +
                 ", function(path, code) probe_record('failed', path, code) return 99 end)\n");
    const RunResult run = probe.Run();
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"failed\t" + Utf8(tree) + "\\sub\\locked.txt\t32",
                                                         "VekSE_BeforeInit"}));
    EXPECT_FALSE(Exists(tree + L"\\a.txt"));
    EXPECT_FALSE(Exists(tree + L"\\sub\\b.txt"));
    EXPECT_FALSE(Exists(tree + L"\\sub\\c.txt"));
    EXPECT_TRUE(Exists(tree + L"\\sub\\locked.txt"));
    EXPECT_TRUE(run.HasTrace(L"xm Lua_DelFileRecursiveEx"));
    EXPECT_TRUE(run.HasTrace(L"xm PathIsDirectoryW"));
    EXPECT_TRUE(run.HasTrace(L"xm VekScriptEngine::DeleteDirectoriesEx " + tree));
    EXPECT_TRUE(run.HasTrace(L"xm VekScriptEngine::DeleteDirectoriesEx " + tree + L"\\sub"));
}

TEST(DelFileRecursive, TooDeepTreeStopsCleanly) {
    Probe probe;
    // A chain of folders whose search pattern passes 260 characters.
    std::wstring deep = probe.dir() / L"deep";
    ::CreateDirectoryW(deep.c_str(), nullptr);
    const std::wstring top = deep;
    while (deep.size() < 250) {
        deep += L"\\" + std::wstring(20, L'd');
        ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr)) << Utf8(deep);
    }
    probe.Script("probe_record(select('#', Lua_DelFileRecursive(" + LuaQuote(top) + ")))\n");
    const RunResult run = probe.Run();
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(probe.Records(), (std::vector<std::string>{"0", "VekSE_BeforeInit"}));
    EXPECT_TRUE(Exists(deep)) << "the folder whose pattern is too long stays";
    bool traced = false;
    for (const auto& t : run.traces) traced |= t.find(L"path too long!") != std::wstring::npos;
    EXPECT_TRUE(traced) << Utf8(run.Joined());
}
