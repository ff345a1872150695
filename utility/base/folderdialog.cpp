#include "folderdialog.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "utility/base/handles.h"
#include "utility/base/paths.h"

namespace vek {

namespace {

ComPtr<IShellItem> ShellItemOf(const std::wstring& folder) {
    ComPtr<IShellItem> item;
    if (FAILED(::SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem, item.put_void()))) item.reset();
    return item;
}

}  // namespace

FolderPick PickFolder(HWND owner, const std::wstring& start, std::wstring* picked) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                  dialog.put_void())))
        return FolderPick::Unavailable;
    dialog->SetOptions(FOS_PICKFOLDERS);
    if (ComPtr<IShellItem> folder = ShellItemOf(start)) {
        dialog->SetDefaultFolder(folder.get());
        dialog->SetFolder(folder.get());
    }
    if (FAILED(dialog->Show(owner))) return FolderPick::Cancelled;
    ComPtr<IShellItem> result;
    if (FAILED(dialog->GetResult(result.put()))) return FolderPick::Cancelled;
    wchar_t* path = nullptr;
    if (FAILED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) || !path) return FolderPick::Cancelled;
    *picked = path;
    ::CoTaskMemFree(path);
    return FolderPick::Picked;
}

std::wstring ProgramFilesFolder() {
    wchar_t buffer[kPathUnits] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, buffer))) return L"";
    return buffer;
}

}  // namespace vek
