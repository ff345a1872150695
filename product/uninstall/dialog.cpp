#include "dialog.h"

#include <iterator>
#include <thread>

#include "product/uninstall/dialogids.h"

namespace {

constexpr UINT kRunEnded = WM_APP + 1;
constexpr int kReasons[] = {IDC_REASON_1, IDC_REASON_2, IDC_REASON_3, IDC_REASON_4};
constexpr int kOptions[] = {IDC_CLEAR_USER_DATA, IDC_FEEDBACK_GROUP, IDC_REASON_1,      IDC_REASON_2,
                            IDC_REASON_3,        IDC_REASON_4,       IDC_SUGGEST_LABEL, IDC_SUGGEST,
                            IDC_CONTACT_LABEL,   IDC_CONTACT,        IDOK,              IDCANCEL};

enum class Stage { Asking, Running, Done };

struct DialogContext {
    std::wstring productName;
    const std::function<void(const UninstallChoice&)>* run;
    Stage stage = Stage::Asking;
    bool confirmed = false;
    std::thread worker;
};

std::wstring ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

UninstallChoice ReadChoice(HWND dialog) {
    UninstallChoice choice;
    choice.clearUserData = ::IsDlgButtonChecked(dialog, IDC_CLEAR_USER_DATA) == BST_CHECKED;
    for (size_t i = 0; i < std::size(kReasons); ++i) {
        if (::IsDlgButtonChecked(dialog, kReasons[i]) != BST_CHECKED) continue;
        if (!choice.reason.empty()) choice.reason += L',';
        choice.reason += std::to_wstring(i + 1);
    }
    choice.suggest = ItemText(dialog, IDC_SUGGEST);
    choice.contact = ItemText(dialog, IDC_CONTACT);
    choice.feedback = !choice.reason.empty() || !choice.suggest.empty() || !choice.contact.empty();
    return choice;
}

void EnableOptions(HWND dialog, bool enable) {
    for (const int id : kOptions) ::EnableWindow(::GetDlgItem(dialog, id), enable);
}

void StartRun(HWND dialog, DialogContext& context) {
    const UninstallChoice choice = ReadChoice(dialog);
    context.stage = Stage::Running;
    context.confirmed = true;
    EnableOptions(dialog, false);
    ::SetDlgItemTextW(dialog, IDC_MESSAGE, L"正在卸载，请稍候……");
    context.worker = std::thread([dialog, choice, run = context.run] {
        (*run)(choice);
        ::PostMessageW(dialog, kRunEnded, 0, 0);
    });
}

void ShowDone(HWND dialog, DialogContext& context) {
    if (context.worker.joinable()) context.worker.join();
    context.stage = Stage::Done;
    for (const int id : kOptions) ::ShowWindow(::GetDlgItem(dialog, id), id == IDOK ? SW_SHOW : SW_HIDE);
    ::SetDlgItemTextW(dialog, IDC_MESSAGE, L"卸载完成");
    ::SetDlgItemTextW(dialog, IDOK, L"完成");
    HWND done = ::GetDlgItem(dialog, IDOK);
    ::EnableWindow(done, TRUE);
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(done), TRUE);
}

void OnCommand(HWND dialog, DialogContext& context, int id) {
    switch (context.stage) {
        case Stage::Asking:
            if (id == IDOK) StartRun(dialog, context);
            if (id == IDCANCEL) ::EndDialog(dialog, 0);
            break;
        case Stage::Running:  // a run is not left half done
            break;
        case Stage::Done:
            if (id == IDOK || id == IDCANCEL) ::EndDialog(dialog, 0);
            break;
    }
}

void Initialise(HWND dialog, const DialogContext& context) {
    ::SetWindowTextW(dialog, (context.productName + L" 卸载").c_str());
    ::SetDlgItemTextW(dialog, IDC_MESSAGE, (L"确定要卸载" + context.productName + L"吗？").c_str());
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        Initialise(dialog, *reinterpret_cast<DialogContext*>(lParam));
        return TRUE;
    }
    auto* context = reinterpret_cast<DialogContext*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!context) return FALSE;
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        OnCommand(dialog, *context, LOWORD(wParam));
        return TRUE;
    }
    if (message == kRunEnded) {
        ShowDone(dialog, *context);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool RunUninstallDialog(HINSTANCE instance, const std::wstring& productName,
                        const std::function<void(const UninstallChoice&)>& run) {
    DialogContext context;
    context.productName = productName;
    context.run = &run;
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_UNINSTALL), nullptr, DialogProc,
                      reinterpret_cast<LPARAM>(&context));
    if (context.worker.joinable()) context.worker.join();
    return context.confirmed;
}
