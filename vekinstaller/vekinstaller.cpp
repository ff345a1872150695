// The installer's entry point: log, command line, the two chunks, the
// single-instance guard, the first event, then the run mode.
#include <windows.h>

#include "utility/base/trace.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/appinstance.h"
#include "vekinstaller/commandline.h"
#include "vekinstaller/globals.h"
#include "vekinstaller/host/gdiplusstartup.h"
#include "vekinstaller/host/hostsession.h"
#include "vekinstaller/installglobals.h"
#include "vekinstaller/installmgr.h"
#include "vekinstaller/runmodes.h"

using vek::Trace;

namespace {

// The engine and GDI+ exist before the entry point runs.
const bool g_startedEarly = [] {
    VekScriptEngine::GetInstance();
    EnsureGdiplusStarted();
    return true;
}();

const wchar_t kDefaultMutexBase[] = L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CHostSession session(L"TovikInstall.log");
    const CCommandLine commandLine(::GetCommandLineW());
    g_hListenWnd = ListenerWindowFrom(commandLine);
    if (!session.RunChunks({L"GLOBAL_VAR.LUAC", L"INSTSCRIPT.LUAC"})) return 0;

    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    std::wstring mutexBase = engine.Get(globals::kInstallMutexGuid);
    long long appId = engine.Get(globals::kAppId);
    if (mutexBase.empty()) {
        mutexBase = kDefaultMutexBase;
    } else {
        appId = 0;
    }

    const bool otherInstance = CreateAppInstance(mutexBase, appId);
    std::wstring silentValue;
    const bool hasSilentKey = commandLine.GetValue(L"InstallSlience", silentValue);
    if (otherInstance && !hasSilentKey) {
        Trace(L"CreateAppInstance return true");
        return 0;
    }

    session.StartCom();
    EnsureGdiplusStarted();
    CInstallMgr::GetInstance().BeforeInit();

    const RunContext context{instance, appId, &session};
    if (ChooseSilentMode(hasSilentKey && silentValue == L"true")) {
        RunSilent(context);
    } else {
        RunInteractive(context);
    }
    return 0;
}
