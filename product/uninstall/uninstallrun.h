// What the work copy does once the user (or the command line) has chosen:
// the script globals, then the uninstall chunk's events.
#pragma once

#include <string>

#include "utility/vekscriptengine/scriptglobal.h"

constexpr wchar_t kUninstallLogName[] = L"TovikUninstall.log";

// The chunks beside the installed product: the configuration, then the
// uninstall logic.
constexpr wchar_t kConfigChunk[] = L"Uninst.dar0";
constexpr wchar_t kUninstallChunk[] = L"Uninst.dar1";

struct UninstallChoice {
    bool clearUserData = false;
    bool feedback = false;  // the three texts below are handed over only then
    std::wstring reason;
    std::wstring suggest;
    std::wstring contact;
};

namespace globals {
constexpr TextGlobal kProductName{"global_product_name"};
constexpr TextGlobal kInstallPath{"global_install_path"};
constexpr BoolGlobal kClearUserData{"ClearUserData"};
constexpr BoolGlobal kChkUserSetting{"ChkUserSetting"};
constexpr TextGlobal kReasonId{"ReasonID"};
constexpr TextGlobal kSuggestion{"tbSuggest"};
constexpr TextGlobal kContact{"tbContact"};
constexpr TextGlobal kUninstallerPath{"_Uninstall_Path"};
}  // namespace globals

// Sets the globals and fires VekSE_BeforeInit, VekSE_OnUninstall,
// VekSE_FeedBack (with feedback only) and VekSE_AfterUnintall; a missing
// handler is skipped. `workCopy` is the running program, which the script
// deletes (at the next reboot at the latest).
void RunUninstallEvents(const std::wstring& installDir, const std::wstring& workCopy, const UninstallChoice& choice);
