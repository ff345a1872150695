#include "workcopy.h"

#include <string>

#include "product/uninstall/dialog.h"
#include "product/uninstall/exitcodes.h"
#include "product/uninstall/uninstallrun.h"
#include "utility/base/fileops.h"
#include "utility/base/guardmutex.h"
#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/host/hostsession.h"

namespace {

constexpr wchar_t kGuardName[] = L"Global\\TovikCleanUninstall";
// Long enough for another uninstall to finish (it pauses some seconds for
// the statistics library), short enough for a user who started a second one.
constexpr DWORD kGuardWaitMs = 30000;
constexpr unsigned long long kChunkSizeLimit = 4ull << 20;

// The guard, owned by the thread that took it, released when it goes.
struct OwnedGuard {
    vek::UniqueHandle mutex;
    ~OwnedGuard() {
        if (mutex) ::ReleaseMutex(mutex.get());
    }
};

void Tell(bool silent, const std::wstring& text) {
    if (!silent) ::MessageBoxW(nullptr, text.c_str(), L"卸载", MB_ICONWARNING | MB_OK);
}

bool TakeGuard(bool silent, OwnedGuard& guard) {
    const vek::GuardWait taken = vek::OwnGuardMutex(kGuardName, kGuardWaitMs, &guard.mutex, [] {
        CHostSession::Report(L"another uninstaller is running; waiting for it");
    });
    if (taken == vek::GuardWait::Owned) return true;
    CHostSession::Report(taken == vek::GuardWait::TimedOut ? L"another uninstaller is still running; giving up"
                                                           : L"the uninstall guard cannot be taken; giving up");
    Tell(silent, L"另一个卸载程序正在运行，请稍后再试。");
    return false;
}

bool LoadChunks(CHostSession& session, const std::wstring& installDir, bool silent) {
    if (session.RunChunkFiles({vek::JoinPath(installDir, kConfigChunk), vek::JoinPath(installDir, kUninstallChunk)},
                              kChunkSizeLimit))
        return true;
    Tell(silent, L"卸载所需的文件缺失或已损坏，无法卸载。");
    return false;
}

UninstallChoice ChoiceFrom(const UninstallArguments& arguments) {
    UninstallChoice choice;
    choice.clearUserData = arguments.clearUserData;
    choice.feedback = arguments.reason || arguments.suggest || arguments.contact;
    choice.reason = arguments.reason.value_or(L"");
    choice.suggest = arguments.suggest.value_or(L"");
    choice.contact = arguments.contact.value_or(L"");
    return choice;
}

// The work copy goes at the next reboot on every way out: registered now
// for a script error, which ends the process at once, and again at the end
// with whatever the script left beside it (the statistics library copies).
void ScheduleOwnDeletion(CHostSession& session, const std::wstring& self) {
    const std::wstring folder = vek::ParentFolder(self);
    vek::DeleteAfterReboot(self);
    vek::DeleteAfterReboot(folder);
    session.AtCleanup([folder] { vek::DeleteFolderAfterReboot(folder); });
}

}  // namespace

DWORD RunWorkCopy(HINSTANCE instance, const UninstallArguments& arguments) {
    SetScriptErrorExitCode(uninstall::kScriptError);
    CHostSession session(kUninstallLogName);
    const std::wstring self = vek::ModuleFilePath(nullptr);
    ScheduleOwnDeletion(session, self);
    CHostSession::Report(L"uninstalling " + arguments.installDir + (arguments.silent ? L" silently" : L""));

    OwnedGuard guard;
    if (!TakeGuard(arguments.silent, guard)) return uninstall::kAnotherRunning;
    if (!LoadChunks(session, arguments.installDir, arguments.silent)) return uninstall::kChunksFailed;
    session.StartCom();

    const auto run = [&](const UninstallChoice& choice) {
        vek::ComScope com;
        RunUninstallEvents(arguments.installDir, self, choice);
        CHostSession::Report(L"uninstall events done");
    };
    if (arguments.silent) {
        run(ChoiceFrom(arguments));
    } else if (!RunUninstallDialog(instance, VekScriptEngine::GetInstance().Get(globals::kProductName), run)) {
        CHostSession::Report(L"left before confirming; nothing done");
    }
    return uninstall::kDone;
}
