#include "launcher.h"

#include <optional>
#include <string>

#include "product/uninstall/exitcodes.h"
#include "product/uninstall/uninstallrun.h"
#include "utility/base/childprocess.h"
#include "utility/base/fileops.h"
#include "utility/base/paths.h"
#include "vekinstaller/host/hostsession.h"

namespace {

constexpr wchar_t kWorkFolderPrefix[] = L"TovikUninst-";
// A wait for a program of our own, so generous: the user may leave the
// dialog open a long time. The work copy carries on once it runs out.
constexpr DWORD kWorkCopyWaitMs = 60 * 60 * 1000;

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// A fresh folder under the temporary folder with a copy of this program.
std::optional<std::wstring> MakeWorkCopy(const std::wstring& self) {
    const auto folder = vek::MakeFreshFolder(vek::TempFolder(), kWorkFolderPrefix);
    if (!folder) {
        const DWORD error = ::GetLastError();
        CHostSession::Report(L"no work folder under " + vek::TempFolder() + L", error " + std::to_wstring(error));
        return std::nullopt;
    }
    const std::wstring copy = vek::JoinPath(*folder, FileNameOf(self));
    if (!::CopyFileW(self.c_str(), copy.c_str(), TRUE)) {
        const DWORD error = ::GetLastError();
        CHostSession::Report(L"no work copy " + copy + L", error " + std::to_wstring(error));
        ::RemoveDirectoryW(folder->c_str());
        return std::nullopt;
    }
    return copy;
}

}  // namespace

DWORD RunLauncher(const UninstallArguments& arguments) {
    CHostSession session(kUninstallLogName);
    const std::wstring self = vek::ModuleFilePath(nullptr);
    const std::wstring installDir = vek::ParentFolder(self);
    const auto copy = MakeWorkCopy(self);
    if (!copy) return uninstall::kNoWorkCopy;

    // Nothing of the install folder stays in use here but this program's file.
    const std::wstring workFolder = vek::ParentFolder(*copy);
    ::SetCurrentDirectoryW(workFolder.c_str());
    std::vector<std::wstring> passed = arguments.given;
    passed.push_back(kInstallDirKey + installDir);
    CHostSession::Report(L"work copy " + *copy + L" for " + installDir);
    const vek::ChildEnd end = vek::RunToEnd(*copy, vek::JoinArguments(passed), workFolder, kWorkCopyWaitMs);
    if (!end.started) {
        CHostSession::Report(L"work copy did not start, error " + std::to_wstring(end.started.error));
        vek::DeleteFolderAfterReboot(workFolder);
        return uninstall::kNoWorkCopy;
    }
    if (!end.ended) {
        CHostSession::Report(L"work copy still runs; not waiting for it any longer");
        return uninstall::kStillRunning;
    }
    CHostSession::Report(L"work copy ended with " + std::to_wstring(end.exitCode));
    return end.exitCode;
}
