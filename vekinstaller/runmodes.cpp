#include "runmodes.h"

#include <curl/curl.h>

#include "stat/ruvostatmodule.h"
#include "utility/base/dllsearch.h"
#include "utility/base/handles.h"
#include "utility/base/resources.h"
#include "utility/base/system.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/dlginstall.h"
#include "vekinstaller/globals.h"
#include "vekinstaller/installglobals.h"
#include "vekinstaller/installmgr.h"
#include "vekinstaller/host/hostsession.h"
#include "utility/vekui/win/skinstore.h"

using vek::Trace;

namespace {

constexpr int kSkinResourceId = 249;
constexpr int kPerMonitorDpiAware = 2;
// The statistics service's dispatch server.
constexpr wchar_t kStatDispatchHost[] = L"dispatch.stat.tovikclean.com";
constexpr wchar_t kProductKey[] = L"SOFTWARE\\TovikClean";

// Hands the skin archive (resource ZIP 249) to the window framework.
bool LoadSkinArchive(HINSTANCE instance) {
    std::string_view skin;
    switch (vek::LoadResourceBytes(instance, MAKEINTRESOURCEW(kSkinResourceId), L"ZIP", &skin)) {
        case vek::ResourceResult::Ok:
            return vekui::SetResourceZip(skin.data(), skin.size(), L"");
        case vek::ResourceResult::NotFound:
            TraceError(L"LoadResource failed. type : XML, id : LAYOUT.XML");
            return false;
        default:
            return false;
    }
}

void EnablePerMonitorDpi() {
    vek::UniqueModule shcore(vek::LoadSystemLibrary(L"Shcore.dll"));
    if (!shcore) return;
    using SetAwareness = HRESULT(WINAPI*)(int);
    auto set = reinterpret_cast<SetAwareness>(::GetProcAddress(shcore.get(), "SetProcessDpiAwareness"));
    if (set) set(kPerMonitorDpiAware);
}

// The installer window and its message loop, until the window is gone.
void RunInstallerWindow() {
    CDlgInstall dialog;
    if (!dialog.Create(nullptr, L"")) {
        Trace(L"CDlgInstall create failed: %hs", dialog.LayoutError().c_str());
        return;
    }
    dialog.ShowWindow(true, true);
    // The layered window shows the frame it was given while hidden.
    Trace(L"first frame %.1f ms", vek::MillisecondsSinceProcessStart());
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace

bool ChooseSilentMode(bool silentSwitch) {
    if (silentSwitch) return true;
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    return engine.Get(globals::kEnableSilentInstall) && engine.Get(globals::kSilentInstall);
}

void RunSilent(const RunContext& context) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    engine.Set(globals::kSilentInstall, true);
    Trace(L"global_ss_install==true ~!\r\n");
    Trace(L"start ss install!");
    engine.Set(globals::kInstallPath, engine.Get(globals::kDefaultInstallPath));

    CInstallMgr& manager = CInstallMgr::GetInstance();
    manager.BeforeInstall();
    manager.OnInstall();
    manager.BeforeComplete();
    manager.AfterComplete();

    NotifyInstallFinished();
}

void RunInteractive(const RunContext& context) {
    vekui::SetResourceInstance(context.instance);
    if (!LoadSkinArchive(context.instance)) return;
    EnablePerMonitorDpi();
    curl_global_init(CURL_GLOBAL_ALL);
    context.session->AtCleanup(curl_global_cleanup);

    std::shared_ptr<RuvoStatModule> stat = RuvoStatModule::GetInstance();
    stat->Init(static_cast<int32_t>(context.appId), kProductKey, kStatDispatchHost, L"");

    RunInstallerWindow();

    stat->Shutdown();
}
