// Uninstall.exe without its dialog: it hands the work to a copy of itself
// under the temporary folder, which runs Uninst.dar0 and Uninst.dar1 from
// the install folder and fires the uninstall events with the globals the
// command line asks for; exit codes tell why nothing ran.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "product/uninstall/exitcodes.h"
#include "tests/support/dialogs.h"
#include "tests/support/system.h"
#include "tests/uninstall/uninstallbench.h"

using namespace vektest;

namespace {

const std::vector<std::string> kEvents = {"VekSE_BeforeInit", "VekSE_OnUninstall", "VekSE_AfterUnintall"};
const std::vector<std::string> kEventsWithFeedback = {"VekSE_BeforeInit", "VekSE_OnUninstall", "VekSE_FeedBack",
                                                      "VekSE_AfterUnintall"};

std::string Dump(const std::vector<EventRecord>& records) {
    std::string text;
    for (const EventRecord& record : records) {
        text += record.event;
        for (const auto& [name, value] : record.values) text += "\n  " + name + "=" + value;
        text += "\n";
    }
    return text;
}

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

}  // namespace

TEST(Uninstaller, SilentSwitchesBecomeTheGlobalsOfEveryEvent) {
    const struct {
        const wchar_t* args;
        std::map<std::string, std::string> changed;  // globals other than the defaults
        bool feedback;
    } cases[] = {
        {L"/S", {}, false},
        {L"/S /ClearUserData", {{"ClearUserData", "true:boolean"}}, false},
        {L"/s /clearuserdata", {{"ClearUserData", "true:boolean"}}, false},  // keys ignore case
        {L"/S /reason=1,3",
         {{"ReasonID", "1,3:string"}, {"tbSuggest", ":string"}, {"tbContact", ":string"}}, true},
        {L"/S \"/suggest=慢 了/点\" /contact=\"qq 123\"",
         {{"ReasonID", ":string"}, {"tbSuggest", "慢 了/点:string"}, {"tbContact", "qq 123:string"}}, true},
        {L"/S /ClearUserData /reason=\"\" /other=x",
         {{"ClearUserData", "true:boolean"}, {"ReasonID", ":string"}, {"tbSuggest", ":string"},
          {"tbContact", ":string"}}, true},  // an empty value is still feedback
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.args));
        UninstallBench bench;
        const RunResult run = bench.Run(c.args);
        EXPECT_EQ(run.exitCode, uninstall::kDone) << Utf8(bench.Log());
        EXPECT_EQ(bench.Events(), c.feedback ? kEventsWithFeedback : kEvents);
        ExpectGlobals(bench, c.changed);
    }
}

TEST(Uninstaller, WorkCopyRunsFromAFreshFolderUnderTheTemporaryFolder) {
    std::vector<std::wstring> workCopies;
    for (int round = 0; round < 2; ++round) {
        UninstallBench bench;
        ASSERT_EQ(bench.Run(L"/S").exitCode, uninstall::kDone) << Utf8(bench.Log());
        const std::vector<EventRecord> records = bench.Records();
        ASSERT_EQ(records.size(), kEvents.size());
        const std::wstring module = Wide(records[0].values.at("module"));
        SCOPED_TRACE(Utf8(module));
        EXPECT_EQ(records[0].values.at("_Uninstall_Path"), Utf8(module) + ":string");
        const std::wstring folder = FolderOf(module);
        EXPECT_EQ(FolderOf(folder), bench.temp());
        const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
        EXPECT_EQ(name.size(), std::wstring(L"TovikUninst-").size() + 16);
        EXPECT_EQ(name.rfind(L"TovikUninst-", 0), 0u);
        EXPECT_EQ(module.substr(folder.size()), L"\\Uninstall.exe");
        EXPECT_EQ(ReadBytes(module), ReadBytes(bench.install() + L"\\Uninstall.exe"));
        workCopies.push_back(module);

        // The copy and then its folder go at the next reboot.
        const std::vector<std::wstring> pending = PendingDeletions();
        const auto file = std::find(pending.begin(), pending.end(), L"\\??\\" + module);
        ASSERT_NE(file, pending.end());
        EXPECT_NE(std::find(file, pending.end(), L"\\??\\" + folder), pending.end());
    }
    EXPECT_NE(FolderOf(workCopies[0]).substr(FolderOf(workCopies[0]).size() - 16),
              FolderOf(workCopies[1]).substr(FolderOf(workCopies[1]).size() - 16));
}

TEST(Uninstaller, TheScriptCanRemoveTheWholeInstallFolder) {
    // The program started from the install folder waits for its work copy,
    // so its own file is in use: the script moves what it cannot delete out
    // of the way, as the shipped one does. Nothing else stays in use, not
    // even the install folder as the current folder it was started in.
    UninstallBench bench;
    bench.StartIn(bench.install()).Extra(
        "function VekSE_OnUninstall()\n"
        "  record_event('VekSE_OnUninstall')\n"
        "  local aside = global_install_path .. '-aside'\n"
        "  Lua_CreateDirectory(aside)\n"
        "  Lua_DelFileRecursiveEx(global_install_path, function(path, code)\n"
        "    record('kept\\t' .. path)\n"
        "    Lua_MoveFile(path, aside)\n"
        "  end)\n"
        "end\n");
    EXPECT_EQ(bench.Run(L"/S").exitCode, uninstall::kDone) << Utf8(bench.Log());
    EXPECT_FALSE(Exists(bench.install()));
    const std::vector<EventRecord> records = bench.Records();
    ASSERT_EQ(records.size(), 4u) << Dump(records);
    EXPECT_EQ(records[2].event, "kept");
    ASSERT_EQ(records[2].values.size(), 1u);
    EXPECT_EQ(records[2].values.begin()->first, Utf8(bench.install() + L"\\Uninstall.exe"));
    EXPECT_TRUE(Exists(bench.install() + L"-aside\\Uninstall.exe"));
}

TEST(Uninstaller, ChunksThatCannotRunEndWithAFailure) {
    const size_t limit = 4u << 20;
    // The bench's own recorder chunk, padded with a comment to `size` bytes.
    const auto padded = [](size_t size) {
        return [size](const UninstallBench& bench) -> std::optional<std::string> {
            const std::string chunk = bench.RecorderChunk() + "\n--";
            return chunk + std::string(size - chunk.size(), 'x');
        };
    };
    const auto fixed = [](std::optional<std::string> bytes) {
        return [bytes](const UninstallBench&) { return bytes; };
    };
    const struct {
        const wchar_t* name;
        std::function<std::optional<std::string>(const UninstallBench&)> bytes;
        DWORD exitCode;
        const wchar_t* logged;
    } cases[] = {
        {L"Uninst.dar0", fixed(std::nullopt), uninstall::kChunksFailed, L"chunk file missing: "},
        {L"Uninst.dar1", fixed(std::nullopt), uninstall::kChunksFailed, L"chunk file missing: "},
        {L"Uninst.dar1", padded(limit + 1), uninstall::kChunksFailed, L"chunk file larger than 4194304 bytes: "},
        {L"Uninst.dar1", padded(limit), uninstall::kDone, nullptr},  // exactly the limit still runs
        {L"Uninst.dar1", fixed("\x1bLua garbage"), uninstall::kChunksFailed, L"chunk did not load or run: "},
        {L"Uninst.dar0", fixed("global_x = = 1"), uninstall::kChunksFailed, L"chunk did not load or run: "},
    };
    for (const auto& c : cases) {
        UninstallBench bench;
        const std::optional<std::string> bytes = c.bytes(bench);
        SCOPED_TRACE(Utf8(c.name) + " " + std::to_string(bytes ? bytes->size() : 0));
        bench.Chunk(c.name, bytes);
        EXPECT_EQ(bench.Run(L"/S").exitCode, c.exitCode) << Utf8(bench.Log());
        if (c.logged) {
            EXPECT_TRUE(Contains(bench.Log(), c.logged + bench.install() + L"\\" + c.name)) << Utf8(bench.Log());
            EXPECT_TRUE(Contains(bench.Log(), L"work copy ended with " + std::to_wstring(c.exitCode)));
            EXPECT_TRUE(bench.Events().empty());
        } else {
            EXPECT_EQ(bench.Events(), kEvents);
        }
    }
}

TEST(Uninstaller, MissingChunksAreToldInABoxWhenInteractive) {
    UninstallBench bench;
    bench.Chunk(L"Uninst.dar1", std::nullopt);
    std::optional<DialogInfo> box;
    const RunResult run = bench.Run(L"", [&](DWORD copy) { box = AnswerDialog(copy, L"OK"); });
    EXPECT_EQ(run.exitCode, uninstall::kChunksFailed);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"卸载所需的文件缺失或已损坏，无法卸载。");
}

TEST(Uninstaller, AScriptErrorEndsTheRunWithAFailureCode) {
    UninstallBench bench;
    bench.Extra("function VekSE_OnUninstall() error('boom') end\n");
    std::optional<DialogInfo> box;
    const RunResult run = bench.Run(L"/S", [&](DWORD copy) { box = AnswerDialog(copy, L"OK"); });
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L":-( 杯具，脚本执行时发生错误");
    EXPECT_TRUE(Contains(box->text, L"boom")) << Utf8(box->text);
    EXPECT_EQ(run.exitCode, uninstall::kScriptError);
    EXPECT_EQ(bench.Events(), std::vector<std::string>{"VekSE_BeforeInit"});
}
