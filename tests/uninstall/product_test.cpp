// The product itself: installed by the shipped scripts and payload, then
// removed through its own uninstaller's dialog, as a user would.
#include <gtest/gtest.h>

#include "product/uninstall/dialogids.h"
#include "product/uninstall/exitcodes.h"
#include "tests/support/dialogs.h"
#include "tests/support/process.h"
#include "tests/support/testenv.h"

using namespace vektest;

namespace {

bool KeyExists(HKEY root, const wchar_t* subkey) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

std::wstring InstallFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::ExpandEnvironmentStringsW(L"%ProgramFiles%\\TovikClean", folder, MAX_PATH);
    return folder;
}

}  // namespace

TEST(UninstallProduct, TheDialogRemovesTheInstalledProduct) {
    RunOptions install;
    install.exe = InstallerPath(L"product");
    install.args = L"/InstallSlience true";
    install.timeoutMs = 60000;
    ASSERT_EQ(RunTraced(install).exitCode, 0u);
    const std::wstring folder = InstallFolder();
    ASSERT_TRUE(Exists(folder + L"\\Uninst.dar1"));
    ASSERT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TovikClean"));

    // The uninstall entry's command: no arguments, so the dialog.
    RunOptions uninstall;
    uninstall.exe = folder + L"\\Uninstall.exe";
    uninstall.timeoutMs = 60000;
    std::wstring doneText;
    uninstall.whileRunning = [&](DWORD pid) {
        const DWORD copy = WaitForChildProcess(pid, L"Uninstall.exe", 20000);
        const auto dialog = WaitForDialog(copy, 20000);
        if (!dialog) return;
        EXPECT_TRUE(SetCheck(dialog->window, IDC_CLEAR_USER_DATA, true));
        EXPECT_TRUE(SetCheck(dialog->window, IDC_REASON_2, true));
        EXPECT_TRUE(SetControlText(dialog->window, IDC_SUGGEST, L"很好"));
        PressControl(dialog->window, IDOK);
        Eventually([&] { return ControlText(dialog->window, IDC_MESSAGE) == L"卸载完成"; }, 40000);
        doneText = ControlText(dialog->window, IDC_MESSAGE);
        PressControl(dialog->window, IDOK);
    };
    const RunResult run = RunTraced(uninstall);
    EXPECT_EQ(run.exitCode, static_cast<DWORD>(uninstall::kDone));
    EXPECT_EQ(doneText, L"卸载完成");
    for (const wchar_t* key : {L"SOFTWARE\\TovikClean",
                               L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovikClean"}) {
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << Utf8(key);
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\TovikClean"));
    // Only the launcher's own file may wait for the next start of Windows.
    EXPECT_FALSE(Exists(folder + L"\\TovikCCleanerMain.exe"));
    EXPECT_FALSE(Exists(folder + L"\\Uninst.dar1"));
}
