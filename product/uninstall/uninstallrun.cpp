#include "uninstallrun.h"

#include "utility/vekscriptengine/vekscriptengine.h"

namespace {

void SetGlobals(VekScriptEngine& engine, const std::wstring& installDir, const std::wstring& workCopy,
                const UninstallChoice& choice) {
    engine.Set(globals::kInstallPath, installDir);
    engine.Set(globals::kClearUserData, choice.clearUserData);
    engine.Set(globals::kChkUserSetting, false);
    engine.Set(globals::kUninstallerPath, workCopy);
    if (choice.feedback) {
        engine.Set(globals::kReasonId, choice.reason);
        engine.Set(globals::kSuggestion, choice.suggest);
        engine.Set(globals::kContact, choice.contact);
    }
}

}  // namespace

void RunUninstallEvents(const std::wstring& installDir, const std::wstring& workCopy, const UninstallChoice& choice) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    const auto lock = engine.Lock();
    SetGlobals(engine, installDir, workCopy, choice);
    engine.CallEvent("VekSE_BeforeInit");
    engine.CallEvent("VekSE_OnUninstall");
    if (choice.feedback) engine.CallEvent("VekSE_FeedBack");
    engine.CallEvent("VekSE_AfterUnintall");
}
