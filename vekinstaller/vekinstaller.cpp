// The installer's entry point: log, command line, the two chunks, the
// single-instance guard, the first event, then the run mode.
#include <windows.h>

#include "utility/base/handles.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/appinstance.h"
#include "vekinstaller/commandline.h"
#include "vekinstaller/gdiplusstartup.h"
#include "vekinstaller/globals.h"
#include "vekinstaller/installmgr.h"
#include "vekinstaller/ruvobaselog.h"
#include "vekinstaller/runmodes.h"

using vek::Trace;

HWND g_hListenWnd = nullptr;

namespace {

// The engine and GDI+ exist before the entry point runs.
const bool g_startedEarly = [] {
    VekScriptEngine::GetInstance();
    EnsureGdiplusStarted();
    return true;
}();

const wchar_t kDefaultMutexBase[] = L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}";

std::wstring OpenLog() {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring path = temp;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += L"TovikInstall.log";
    ::DeleteFileW(path.c_str());
    CRuvoBaseLog::GetInstance().InitLogger(vek::WideToThreadAnsi(path));
    return path;
}

bool RunChunks() {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    if (!engine.DoResLua(L"LUA", L"GLOBAL_VAR.LUAC")) {
        Trace(L"DoResLua failed, GLOBAL_VAR.LUAC");
        return false;
    }
    if (!engine.DoResLua(L"LUA", L"INSTSCRIPT.LUAC")) {
        Trace(L"DoResLua failed, INSTSCRIPT.LUAC");
        return false;
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RunContext context{instance, 0, OpenLog()};
    const CCommandLine commandLine(::GetCommandLineW());
    g_hListenWnd = ListenerWindowFrom(commandLine);
    if (!RunChunks()) return 0;

    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    std::wstring mutexBase = engine.GetGlobalText("global_install_mutex_guid");
    context.appId = engine.GetGlobalInteger("global_app_id");
    if (mutexBase.empty()) {
        mutexBase = kDefaultMutexBase;
    } else {
        context.appId = 0;
    }

    vek::UniqueHandle otherInstance(CreateAppInstance(mutexBase, context.appId));
    std::wstring silentValue;
    const bool hasSilentKey = commandLine.GetValue(L"InstallSlience", silentValue);
    if (otherInstance && !hasSilentKey) {
        Trace(L"CreateAppInstance return true");
        return 0;
    }

    ::CoInitialize(nullptr);
    EnsureGdiplusStarted();
    CInstallMgr::GetInstance().BeforeInit();

    if (ChooseSilentMode(hasSilentKey && silentValue == L"true")) {
        RunSilent(context);
    } else {
        RunInteractive(context);
    }
    return 0;
}
