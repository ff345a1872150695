// Program starts, shortcuts, COM registration and special folders of the
// native layer.
#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>

#include "tests/support/process.h"
#include "tests/support/shelllinks.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"
#include "utility/base/shell.h"
#include "utility/base/shortcuts.h"
#include "utility/base/vekprocesstoolhelp.h"

using namespace vektest;

namespace {

DWORD Registered() {
    DWORD value = 0, size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, L"Software\\VekTest\\Registration", L"Registered", RRF_RT_REG_DWORD,
                       nullptr, &value, &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

}  // namespace

TEST(ShellStart, TheWaitIsBoundedAndLeavesTheProgramRunning) {
    TempDir dir;
    const std::wstring sleeper = CopyOfSleeper(dir, L"veknativewait.exe");
    bool ended = true;
    ASSERT_TRUE(vek::ShellStartHidden(nullptr, sleeper, L"600000", dir.path(), 500, &ended));
    EXPECT_FALSE(ended);
    const std::vector<DWORD> ids = vek::ProcessIdsByName(L"veknativewait.exe");
    ASSERT_EQ(ids.size(), 1u) << "still running after the wait";
    vek::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ids[0]));
    ASSERT_TRUE(process);
    EXPECT_EQ(::WaitForSingleObject(process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 10000);

    // A program that ends within the wait is seen to end.
    ASSERT_TRUE(vek::ShellStartHidden(nullptr, sleeper, L"0", dir.path(), 60000, &ended));
    EXPECT_TRUE(ended);
}

TEST(Shortcuts, LinkTextsAreSetOnlyWhenGiven) {
    const struct {
        const char* label;
        std::optional<std::wstring> arguments, description;
    } cases[] = {
        {"neither", std::nullopt, std::nullopt},
        {"empty arguments", L"", std::nullopt},
        {"both", L"/menu", L"the product"},
        {"description only", std::nullopt, L"the product"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::wstring file = dir / L"missing\\folder\\a.lnk";
        const vek::ShortcutSpec spec{L"%SystemRoot%\\notepad.exe", file, c.arguments, c.description};
        ASSERT_TRUE(vek::CreateShortcut(spec, L"test"));
        const Link link = ReadLink(file);
        wchar_t windows[MAX_PATH];
        ::ExpandEnvironmentStringsW(L"%SystemRoot%", windows, MAX_PATH);
        EXPECT_EQ(link.path, std::wstring(windows) + L"\\notepad.exe") << "the target is expanded";
        EXPECT_EQ(link.folder, std::wstring(windows));
        EXPECT_EQ(link.arguments, c.arguments.value_or(L""));
        EXPECT_EQ(link.description, c.description.value_or(L""));
    }
}

TEST(Shortcuts, UrlTargetsAndTargetsTooLong) {
    TempDir dir;
    const std::wstring url = dir / L"site.url";
    ASSERT_TRUE(vek::CreateShortcut({L"http://127.0.0.1/%TEMP%", url, L"/ignored", L"ignored"}, L"test"));
    EXPECT_NE(ReadBytes(url).find("URL=http://127.0.0.1/%TEMP%"), std::string::npos) << "not expanded";

    // The shortcut's folder is made before the target is looked at.
    const std::wstring file = dir / L"made\\b.lnk";
    EXPECT_FALSE(vek::CreateShortcut({std::wstring(MAX_PATH, L'x'), file, {}, {}}, L"test"));
    EXPECT_TRUE(Exists(dir / L"made"));
    EXPECT_FALSE(Exists(file));
}

TEST(Registration, EntryPointsOfALibrary) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VekTest\\Registration");
    const std::wstring library = BuildPath(L"vektestlib.dll");
    EXPECT_TRUE(vek::CallRegistrationEntry(library, true, L"test"));
    EXPECT_EQ(Registered(), 1u);
    EXPECT_TRUE(vek::CallRegistrationEntry(library, false, L"test"));
    EXPECT_EQ(Registered(), 0u);

    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_FALSE(vek::CallRegistrationEntry(std::wstring(system) + L"\\kernel32.dll", true, L"test")) << "no entry";
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"text.dll", "not a library"));
    EXPECT_FALSE(vek::CallRegistrationEntry(dir / L"text.dll", true, L"test"));
}

TEST(SpecialFolders, SetTheVariableOrLeaveItAlone) {
    ::SetEnvironmentVariableW(L"VEK_NATIVE_FOLDER", L"before");
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_FALSE(vek::SpecialFolderToEnvironment(L"VEK_NATIVE_FOLDER", 9999));
    ::GetEnvironmentVariableW(L"VEK_NATIVE_FOLDER", buffer, MAX_PATH);
    EXPECT_STREQ(buffer, L"before");

    ASSERT_TRUE(vek::SpecialFolderToEnvironment(L"VEK_NATIVE_FOLDER", CSIDL_APPDATA));
    wchar_t expected[MAX_PATH] = {};
    ::SHGetSpecialFolderPathW(nullptr, expected, CSIDL_APPDATA, FALSE);
    ::GetEnvironmentVariableW(L"VEK_NATIVE_FOLDER", buffer, MAX_PATH);
    EXPECT_STREQ(buffer, expected);
}
