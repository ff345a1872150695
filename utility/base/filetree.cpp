#include "filetree.h"

#include <vector>

#include "utility/base/folderwalk.h"
#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/trace.h"

namespace vek {

namespace {

std::wstring FullPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(length);
    return full;
}

std::wstring Parent(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(0, slash);
}

// Clears the read-only attribute of the entry itself, a link included: the
// handle is opened on the link, never on what it points at.
void ClearReadOnly(const std::wstring& path, DWORD attributes) {
    UniqueFile entry(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr));
    if (!entry) return;
    FILE_BASIC_INFO info = {};
    info.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY) & ~FILE_ATTRIBUTE_DIRECTORY;
    if (info.FileAttributes == 0) info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(entry.get(), FileBasicInfo, &info, sizeof info);
}

void DeleteFile(const std::wstring& path, DWORD attributes, const DeleteFailure& onFailure) {
    if (attributes & FILE_ATTRIBUTE_READONLY) ClearReadOnly(path, attributes);
    if (!::DeleteFileW(path.c_str()) && onFailure) onFailure(path, ::GetLastError());
}

// A link to a folder goes as a link: what it points at is not ours.
void DeleteFolderLink(const std::wstring& path, DWORD attributes, const DeleteFailure& onFailure) {
    if (attributes & FILE_ATTRIBUTE_READONLY) ClearReadOnly(path, attributes);
    if (!::RemoveDirectoryW(path.c_str()) && onFailure) onFailure(path, ::GetLastError());
}

void LeaveIfCurrent(const std::wstring& folder) {
    wchar_t current[kPathUnits] = {};
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(kPathUnits), current);
    if (length > 0 && length < kPathUnits && folder == current) {
        ::SetCurrentDirectoryW(Parent(folder).c_str());
    }
}

}  // namespace

void DeleteFolderTree(const std::wstring& folder, const wchar_t* traceName, const DeleteFailure& onFailure) {
    Trace(L"%s %s", traceName, folder.c_str());
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        LeaveIfCurrent(folder);
        DeleteFolderLink(folder, attributes, onFailure);
        return;
    }
    const std::wstring pattern = JoinPath(folder, L"*.*");
    if (pattern.size() >= kPathUnits) {
        Trace(L"Fun:%s, Description:%s path too long!\r\n", traceName, pattern.c_str());
        return;
    }
    const std::wstring base = FullPath(folder);
    const bool searched = ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring path = JoinPath(base, entry.cFileName);
        if (IsLinkEntry(entry) && IsFolderEntry(entry)) {
            DeleteFolderLink(path, entry.dwFileAttributes, onFailure);
        } else if (IsFolderEntry(entry)) {
            DeleteFolderTree(path, traceName, onFailure);
        } else {
            DeleteFile(path, entry.dwFileAttributes, onFailure);
        }
    });
    if (!searched) return;
    LeaveIfCurrent(folder);
    ::RemoveDirectoryW(folder.c_str());
}

void DeleteDirectories(const std::wstring& folder) {
    DeleteFolderTree(folder, L"VekScriptEngine::DeleteDirectories", {});
}

void DeleteDirectoriesEx(const std::wstring& folder, const DeleteFailure& onFailure) {
    DeleteFolderTree(folder, L"VekScriptEngine::DeleteDirectoriesEx", onFailure);
}

}  // namespace vek
