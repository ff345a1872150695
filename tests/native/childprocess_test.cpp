// A program started by full path with arguments made from single values,
// and the bounded wait for its end.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "tests/support/testenv.h"
#include "utility/base/childprocess.h"
#include "utility/base/paths.h"

using namespace vektest;

namespace {

std::vector<std::wstring> SplitBack(const std::wstring& arguments) {
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW((L"program.exe " + arguments).c_str(), &count);
    std::vector<std::wstring> values(split + 1, split + count);
    ::LocalFree(split);
    return values;
}

}  // namespace

TEST(ChildProcess, ArgumentsReadBackUnchanged) {
    const std::vector<std::wstring> cases[] = {
        {L"/S", L"/ClearUserData"},
        {L"/InstallDir=C:\\Program Files (x86)\\TovikClean"},
        {L"/InstallDir=C:\\with space\\", L"next"},  // a trailing backslash before the closing quote
        {L"C:\\no\\space\\", L"next"},
        {L"", L"after an empty one"},
        {L"say \"hi\"", L"back\\\"slash", L"tab\there"},
        {L"/suggest=慢 了/点", L"\\\\server\\share\\\\"},
    };
    for (const auto& arguments : cases) {
        const std::wstring joined = vek::JoinArguments(arguments);
        SCOPED_TRACE(Utf8(joined));
        EXPECT_EQ(SplitBack(joined), arguments);
    }
    EXPECT_EQ(vek::QuoteArgument(L"/S"), L"/S") << "plain arguments stay as they are";
}

TEST(ChildProcess, RunToEndGivesTheExitCodeWithinTheWait) {
    TempDir dir;
    const std::wstring cmd = vek::SystemFolder() + L"\\cmd.exe";
    const vek::ChildEnd ended = vek::RunToEnd(cmd, L"/c exit 7", dir.path(), 20000);
    EXPECT_TRUE(ended.started.ok);
    EXPECT_TRUE(ended.ended);
    EXPECT_EQ(ended.exitCode, 7u);

    // A program that outlasts the wait is left running.
    const std::wstring sleeper = CopyOfSleeper(dir, L"vekchildsleeper.exe");
    const std::wstring record = dir / L"commandline.txt";
    const vek::ChildEnd waiting = vek::RunToEnd(sleeper, vek::JoinArguments({L"3000", record}), dir.path(), 100);
    EXPECT_TRUE(waiting.started.ok);
    EXPECT_FALSE(waiting.ended);

    const vek::ChildEnd missing = vek::RunToEnd(dir / L"missing.exe", L"", dir.path(), 100);
    EXPECT_FALSE(missing.started.ok);
    EXPECT_EQ(missing.started.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
