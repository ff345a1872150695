#include "tests/support/luachecks.h"

#include <gtest/gtest.h>

#include <optional>

#include "tests/support/dialogs.h"
#include "tests/support/probe.h"

namespace vektest {

std::string LuaSource(const std::wstring& name) {
    const std::string source = ReadBytes(std::wstring(VEK_TEST_SOURCE_DIR) + L"\\lua\\" + name);
    EXPECT_FALSE(source.empty()) << Utf8(name);
    return source;
}

// Runs check.lua, `prelude` and the check file; every failed check is a
// test failure.
RunResult RunChecks(const std::wstring& file, const std::string& prelude, const std::wstring& args) {
    Probe probe;
    probe.Args(args);
    std::optional<DialogInfo> scriptError;
    probe.Script(LuaSource(L"check.lua") + "\n" + prelude + "\n" + LuaSource(file))
        .WhileRunning([&](DWORD pid) { scriptError = AnswerDialog(pid, L"OK", 60000); })
        .Timeout(60000);
    const RunResult run = probe.Run();
    if (scriptError) ADD_FAILURE() << "script error: " << Utf8(scriptError->text);
    bool summary = false;
    for (const std::string& record : probe.Records()) {
        if (record.rfind("FAIL\t", 0) == 0) ADD_FAILURE() << record;
        if (record.rfind("checks\t", 0) == 0) {
            summary = true;
            EXPECT_NE(record.find("\tfailures\t0"), std::string::npos) << record;
        }
    }
    EXPECT_TRUE(summary) << "the checks did not run to their end";
    EXPECT_EQ(run.exitCode, 0u);
    return run;
}

}  // namespace vektest
