// Uninstall.exe without /S: one dialog of the work copy. Leaving it changes
// nothing; confirming hands the choices to the script as globals, and the
// dialog ends in a done state.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "product/uninstall/dialogids.h"
#include "product/uninstall/exitcodes.h"
#include "tests/support/dialogs.h"
#include "tests/uninstall/uninstallbench.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

const wchar_t kCaption[] = L"TovikC盘清理 卸载";

// The work copy owns the uninstallers' guard (it cannot be taken at once).
bool GuardIsHeld() {
    vek::UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Global\\TovikCleanUninstall"));
    if (!mutex) return false;
    const DWORD waited = ::WaitForSingleObject(mutex.get(), 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ::ReleaseMutex(mutex.get());
    return waited == WAIT_TIMEOUT;
}

void PressKey(HWND dialog, WPARAM key) { ::PostMessageW(dialog, WM_KEYDOWN, key, 0); }

struct Choice {
    bool clearUserData;
    std::vector<int> reasons;  // control ids
    std::wstring suggest;
    std::wstring contact;
    bool byEnterKey;
};

void Fill(HWND dialog, const Choice& choice) {
    EXPECT_TRUE(SetCheck(dialog, IDC_CLEAR_USER_DATA, choice.clearUserData));
    for (const int reason : choice.reasons) EXPECT_TRUE(SetCheck(dialog, reason, true));
    EXPECT_TRUE(SetControlText(dialog, IDC_SUGGEST, choice.suggest));
    EXPECT_TRUE(SetControlText(dialog, IDC_CONTACT, choice.contact));
}

}  // namespace

TEST(UninstallDialog, LeavingBeforeConfirmingRunsNothing) {
    const struct {
        const char* how;
        std::function<void(HWND)> leave;
    } cases[] = {
        {"cancel button", [](HWND dialog) { PressControl(dialog, IDCANCEL); }},
        {"close box", [](HWND dialog) { ::PostMessageW(dialog, WM_CLOSE, 0, 0); }},
        {"Escape key", [](HWND dialog) { PressKey(dialog, VK_ESCAPE); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        UninstallBench bench;
        std::optional<DialogInfo> dialog;
        bool guardHeld = false;
        const RunResult run = bench.Run(L"", [&](DWORD copy) {
            dialog = WaitForDialog(copy, 20000);
            if (!dialog) return;
            guardHeld = GuardIsHeld();
            c.leave(dialog->window);
        });
        ASSERT_TRUE(dialog.has_value());
        EXPECT_EQ(dialog->caption, kCaption);
        EXPECT_EQ(dialog->text, L"确定要卸载TovikC盘清理吗？");
        for (const wchar_t* button : {L"同时删除用户数据", L"卸载", L"取消"}) {
            EXPECT_NE(std::find(dialog->buttons.begin(), dialog->buttons.end(), button), dialog->buttons.end())
                << Utf8(button);
        }
        EXPECT_TRUE(guardHeld);
        EXPECT_EQ(run.exitCode, uninstall::kDone);
        EXPECT_TRUE(bench.Events().empty());
        EXPECT_TRUE(Exists(bench.install() + L"\\Uninst.dar1"));
    }
}

TEST(UninstallDialog, ConfirmedChoicesBecomeGlobalsAndTheDialogEndsDone) {
    const struct {
        Choice choice;
        std::map<std::string, std::string> changed;  // globals other than the defaults
        bool feedback;
    } cases[] = {
        {{true, {IDC_REASON_1, IDC_REASON_3}, L"更快一些", L"", false},
         {{"ClearUserData", "true:boolean"}, {"ReasonID", "1,3:string"}, {"tbSuggest", "更快一些:string"},
          {"tbContact", ":string"}},
         true},
        {{false, {}, L"", L"", true}, {}, false},  // confirmed from the keyboard
        {{false, {IDC_REASON_4}, L"", L"qq 123", false},
         {{"ReasonID", "4:string"}, {"tbSuggest", ":string"}, {"tbContact", "qq 123:string"}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.choice.suggest + L"|" + c.choice.contact));
        UninstallBench bench;
        std::wstring doneText, doneButton;
        bool cancelHidden = false;
        const RunResult run = bench.Run(L"", [&](DWORD copy) {
            const auto dialog = WaitForDialog(copy, 20000);
            if (!dialog) return;
            Fill(dialog->window, c.choice);
            if (c.choice.byEnterKey) {
                PressKey(dialog->window, VK_RETURN);
            } else {
                PressControl(dialog->window, IDOK);
            }
            Eventually([&] { return ControlText(dialog->window, IDC_MESSAGE) == L"卸载完成"; }, 30000);
            doneText = ControlText(dialog->window, IDC_MESSAGE);
            doneButton = ControlText(dialog->window, IDOK);
            cancelHidden = !ControlVisible(dialog->window, IDCANCEL);
            PressControl(dialog->window, IDOK);
        });
        EXPECT_EQ(run.exitCode, uninstall::kDone);
        EXPECT_EQ(doneText, L"卸载完成");
        EXPECT_EQ(doneButton, L"完成");
        EXPECT_TRUE(cancelHidden);
        std::vector<std::string> events = {"VekSE_BeforeInit", "VekSE_OnUninstall", "VekSE_AfterUnintall"};
        if (c.feedback) events.insert(events.begin() + 2, "VekSE_FeedBack");
        EXPECT_EQ(bench.Events(), events);
        ExpectGlobals(bench, c.changed);
    }
}
