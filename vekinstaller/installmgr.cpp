#include "installmgr.h"

#include <windows.h>
#include <shlwapi.h>

#include "utility/base/handles.h"
#include "utility/base/textconv.h"
#include "utility/base/vekprocesstoolhelp.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/ruvobaselog.h"

namespace {
constexpr UINT kToolExitCode = 10000;

// Calls `visit` with each entry of `folder` except "." and "..".
template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
    WIN32_FIND_DATAW entry;
    vek::UniqueFind search(::FindFirstFileW((folder + L"\\*.*").c_str(), &entry));
    if (!search) return;
    do {
        if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0) continue;
        visit(entry);
    } while (::FindNextFileW(search.get(), &entry));
}

bool IsFolder(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (killTools) KillAllToolProcess();
    VekScriptEngine::GetInstance().CallEvent(eventName);
}

// Ends the processes of the executables one level below <install>\Tools\.
void CInstallMgr::KillAllToolProcess() {
    const std::wstring installPath = VekScriptEngine::GetInstance().GetGlobalText("global_install_path");
    const std::wstring tools = installPath + L"\\Tools\\";
    VEK_LOG_INFO("strAppPath:" + vek::WideToUtf8(tools));
    ForEachEntry(tools, [&](const WIN32_FIND_DATAW& tool) {
        if (!IsFolder(tool)) return;
        const std::wstring subfolder = tools + tool.cFileName;
        VEK_LOG_INFO(vek::WideToSystemAnsi(subfolder));
        ForEachEntry(subfolder, [&](const WIN32_FIND_DATAW& file) {
            if (IsFolder(file) || wcscmp(::PathFindExtensionW(file.cFileName), L".exe") != 0) return;
            VEK_LOG_INFO("2:----" + vek::WideToSystemAnsi(file.cFileName));
            KillProcessesByName({file.cFileName});
        });
    });
}

void KillProcessesByName(const std::vector<std::wstring>& names) {
    vek::TerminateProcessesByName(names, kToolExitCode);
}
