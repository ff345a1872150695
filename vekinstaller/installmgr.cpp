#include "installmgr.h"

#include <windows.h>
#include <shlwapi.h>

#include "utility/base/folderwalk.h"
#include "utility/base/textconv.h"
#include "utility/base/vekprocesstoolhelp.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/host/ruvobaselog.h"
#include "vekinstaller/installglobals.h"

namespace {
constexpr UINT kToolExitCode = 10000;

bool IsExecutable(const WIN32_FIND_DATAW& entry) {
    return !vek::IsFolderEntry(entry) && wcscmp(::PathFindExtensionW(entry.cFileName), L".exe") == 0;
}
}  // namespace

CInstallMgr& CInstallMgr::GetInstance() {
    static CInstallMgr instance;
    return instance;
}

void CInstallMgr::BeforeInit() { FireEvent("VekSE_BeforeInit"); }
void CInstallMgr::BeforeInstall() { FireEvent("VekSE_BeforeInstall"); }
void CInstallMgr::OnInstall() { FireEvent("VekSE_OnInstall", true); }
void CInstallMgr::BeforeComplete() { FireEvent("VekSE_BeforeComplete"); }
void CInstallMgr::AfterComplete() { FireEvent("VekSE_AfterComplete"); }

void CInstallMgr::FireEvent(const char* eventName, bool killTools) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    const VekScriptEngine::EventScope event(engine, eventName);  // the tools' ending belongs to the stage
    if (killTools) KillAllToolProcess();
    engine.CallEvent(eventName);
}

// Ends the processes of the executables one level below <install>\Tools\.
void CInstallMgr::KillAllToolProcess() {
    const std::wstring installPath = VekScriptEngine::GetInstance().Get(globals::kDefaultInstallPath);
    const std::wstring tools = installPath + L"\\Tools\\";
    VEK_LOG_INFO("strAppPath:" + vek::WideToUtf8(tools));
    for (const WIN32_FIND_DATAW& tool : vek::FolderEntries(tools)) {
        if (!vek::IsFolderEntry(tool)) continue;
        const std::wstring subfolder = tools + tool.cFileName;
        VEK_LOG_INFO(vek::WideToSystemAnsi(subfolder));
        for (const WIN32_FIND_DATAW& file : vek::FolderEntries(subfolder)) {
            if (!IsExecutable(file)) continue;
            VEK_LOG_INFO("2:----" + vek::WideToSystemAnsi(file.cFileName));
            KillProcessesByName({file.cFileName});
        }
    }
}

void KillProcessesByName(const std::vector<std::wstring>& names) {
    vek::TerminateProcessesByName(names, kToolExitCode);
}
