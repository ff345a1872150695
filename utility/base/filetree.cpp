#include "filetree.h"

#include <vector>

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

void DeleteFile(const std::wstring& path, DWORD attributes, const DeleteFailure& onFailure) {
    if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!::DeleteFileW(path.c_str()) && onFailure) onFailure(path, ::GetLastError());
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
    const std::wstring pattern = JoinPath(folder, L"*.*");
    if (pattern.size() >= kPathUnits) {
        Trace(L"Fun:%s, Description:%s path too long!\r\n", traceName, pattern.c_str());
        return;
    }
    WIN32_FIND_DATAW entry;
    UniqueFind search(::FindFirstFileW(pattern.c_str(), &entry));
    if (!search) return;
    const std::wstring base = FullPath(folder);
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = JoinPath(base, name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            DeleteFolderTree(path, traceName, onFailure);
        } else {
            DeleteFile(path, entry.dwFileAttributes, onFailure);
        }
    } while (::FindNextFileW(search.get(), &entry));
    search.reset();
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
