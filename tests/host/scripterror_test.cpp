// A script error ends the installer after a message box with the error and
// the script call stack; Lua_MsgBox shows the boxes scripts ask for.
#include <gtest/gtest.h>

#include <optional>

#include "tests/support/dialogs.h"
#include "tests/support/probe.h"

using namespace vektest;

namespace {

const wchar_t kErrorCaption[] = L":-( 杯具，脚本执行时发生错误";
const wchar_t kFeedback[] = L"请向我们反馈以上错误信息，以便我们改善产品质量！";

// Runs the probe with `script`, answers the first box with `button`.
struct BoxRun {
    RunResult run;
    std::optional<DialogInfo> box;
    std::vector<std::string> records;
    std::wstring scriptSource;  // the chunk name Lua shows for the script
};

BoxRun RunWithBox(const std::string& script, const std::wstring& button = L"OK",
                  const std::wstring& args = L"/InstallSlience true") {
    BoxRun result;
    Probe probe;
    probe.Script(script).Args(args);
    probe.WhileRunning([&](DWORD pid) { result.box = AnswerDialog(pid, button); });
    result.run = probe.Run();
    result.records = probe.Records();
    result.scriptSource = probe.dir() / L"probe-script.lua";
    return result;
}

}  // namespace

TEST(ScriptError, ShowsErrorAndCallStackThenEndsTheProcess) {
    const BoxRun r = RunWithBox(
        "local function inner() error(\"boom\") end\n"
        "function VekSE_BeforeInstall() inner() end\n");
    ASSERT_TRUE(r.box.has_value());
    EXPECT_EQ(r.box->caption, kErrorCaption);
    const std::wstring at = L"@" + r.scriptSource;
    const std::wstring expected = r.scriptSource + L":1: boom\n" +
                                  L"      <call stack>\n"
                                  L"-> | unknown : line -1 [=[C] : line -1]\n"  // the handler
                                  L"--  | error() : line -1 [=[C] : line -1]\n"
                                  L"--  | inner() : line 1 [" + at + L" : line 1]\n"
                                  L"--  | unknown : line 2 [" + at + L" : line 2]\n" +
                                  kFeedback;
    EXPECT_EQ(r.box->text, expected);
    EXPECT_EQ(r.run.exitCode, 0u);
    // nothing after the failing stage ran
    EXPECT_EQ(r.records, std::vector<std::string>{"VekSE_BeforeInit"});
}

TEST(ScriptError, ErrorValuesThatAreNotTextStillShowTheStack) {
    const struct {
        const char* value;
        const wchar_t* firstLine;
    } cases[] = {
        {"{}", L"(null)\n"},
        {"nil", L"(null)\n"},
        {"42", L"42\n"},
        {"\"漢字 text\"", L"漢字 text\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const BoxRun r = RunWithBox(std::string("function VekSE_BeforeInit() error(") + c.value + ", 0) end\n");
        ASSERT_TRUE(r.box.has_value());
        EXPECT_EQ(r.box->text.rfind(c.firstLine, 0), 0u) << Utf8(r.box->text);
        EXPECT_NE(r.box->text.find(L"      <call stack>\n-> | unknown : line -1 [=[C] : line -1]\n--  | error() : line -1"), std::wstring::npos);
        EXPECT_EQ(r.run.exitCode, 0u);
        EXPECT_TRUE(r.records.empty());
    }
}

TEST(ScriptError, ErrorWhileTheChunkRunsEndsBeforeAnyEvent) {
    const BoxRun r = RunWithBox("local t = nil\nlocal x = t.field\n");
    ASSERT_TRUE(r.box.has_value());
    EXPECT_NE(r.box->text.find(L"attempt to index local 't' (a nil value)"), std::wstring::npos);
    EXPECT_EQ(r.run.exitCode, 0u);
    EXPECT_TRUE(r.records.empty());
    EXPECT_FALSE(r.run.HasTrace(L"xm DoResLua failed, INSTSCRIPT.LUAC"));
}

TEST(MsgBox, ArgumentCountSelectsTextCaptionAndType) {
    const struct {
        const char* args;
        const wchar_t* text;
        const wchar_t* caption;
        const wchar_t* press;
        int result;
    } cases[] = {
        {"", L"", L"", L"OK", IDOK},
        {"\"only text\"", L"only text", L"", L"OK", IDOK},
        {"\"文本\", \"标题\"", L"文本", L"标题", L"OK", IDOK},
        {"\"t\", \"c\", 4", L"t", L"c", L"No", IDNO},            // MB_YESNO
        {"\"t\", \"c\", 3", L"t", L"c", L"Cancel", IDCANCEL},    // MB_YESNOCANCEL
        {"\"t\", \"c\", \"x\"", L"t", L"c", L"OK", IDOK},        // not a number: 0
        {"\"t\", \"c\", 4, \"more\"", L"", L"", L"OK", IDOK},    // too many: empty box
        {"12, 34.5", L"12", L"34.5", L"OK", IDOK},               // numbers read as text
        {"{}, true", L"", L"", L"OK", IDOK},                     // other values read as empty
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const BoxRun r = RunWithBox(std::string("function VekSE_BeforeInit() probe_record(Lua_MsgBox(") + c.args +
                                        ")) end\n",
                                    c.press, L"");
        ASSERT_TRUE(r.box.has_value());
        EXPECT_EQ(r.box->text, c.text);
        EXPECT_EQ(r.box->caption, c.caption);
        EXPECT_EQ(r.records, std::vector<std::string>{std::to_string(c.result)});
    }
}

TEST(MsgBox, YesNoBoxOffersBothButtons) {
    const BoxRun r = RunWithBox("function VekSE_BeforeInit() probe_record(Lua_MsgBox('q', 'c', 4 + 32)) end\n",
                                L"Yes", L"");
    ASSERT_TRUE(r.box.has_value());
    EXPECT_EQ(r.box->buttons.size(), 2u);
    EXPECT_EQ(r.records, std::vector<std::string>{"6"});
}
