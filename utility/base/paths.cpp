#include "paths.h"

#include <shlwapi.h>

namespace vek {

bool ExpandPath(const std::wstring& path, std::wstring& out) {
    out.clear();
    wchar_t buffer[kPathUnits] = {};
    const DWORD needed = ::ExpandEnvironmentStringsW(path.c_str(), buffer, static_cast<DWORD>(kPathUnits));
    if (needed == 0 || needed > kPathUnits) return path.empty();
    out = buffer;
    return true;
}

bool PathExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

bool IsFolder(const std::wstring& path) { return ::PathIsDirectoryW(path.c_str()) != FALSE; }

std::wstring DoubleTerminated(const std::wstring& path) { return path + L'\0'; }

std::wstring ModuleFilePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ModuleFolder(HMODULE module) {
    std::wstring path = ModuleFilePath(module);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

namespace {

std::wstring FolderFrom(UINT (WINAPI* query)(LPWSTR, UINT)) {
    std::wstring path(MAX_PATH, L'\0');
    UINT length = query(path.data(), static_cast<UINT>(path.size()));
    if (length >= path.size()) {
        path.resize(length);
        length = query(path.data(), static_cast<UINT>(path.size()));
    }
    path.resize(length < path.size() ? length : 0);
    return path;
}

}  // namespace

std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring path = temp;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring SystemFolder() { return FolderFrom(::GetSystemDirectoryW); }

std::wstring WindowsFolder() { return FolderFrom(::GetSystemWindowsDirectoryW); }

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    return folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

std::wstring ParentFolder(const std::wstring& path) {
    wchar_t folder[kPathUnits] = {};
    lstrcpynW(folder, path.c_str(), static_cast<int>(kPathUnits));
    ::PathRemoveFileSpecW(folder);
    return folder;
}

bool IsUrl(const std::wstring& text) { return ::PathIsURLW(text.c_str()) != FALSE; }

namespace {

template <typename Fn>
Fn ShellOrdinal(WORD ordinal) {
    HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
    // By full path: never a shell32.dll from beside the program. Stays loaded.
    if (!shell) shell = ::LoadLibraryW(JoinPath(SystemFolder(), L"shell32.dll").c_str());
    return shell ? reinterpret_cast<Fn>(::GetProcAddress(shell, MAKEINTRESOURCEA(ordinal))) : nullptr;
}

}  // namespace

int ShellCreateDirectory(const std::wstring& path) {
    using Fn = int(WINAPI*)(HWND, LPCWSTR);
    static const Fn create = ShellOrdinal<Fn>(165);
    return create ? create(nullptr, path.c_str()) : ERROR_PROC_NOT_FOUND;
}

bool ShellMakeUniqueName(const std::wstring& templatePath, std::wstring& unique) {
    using Fn = BOOL(WINAPI*)(LPWSTR, LPCWSTR, LPCWSTR, LPCWSTR);
    static const Fn make = ShellOrdinal<Fn>(75);
    wchar_t buffer[kPathUnits + 1] = {};
    const bool made = make && make(buffer, templatePath.c_str(), nullptr, nullptr);
    unique = buffer;
    return made;
}

}  // namespace vek
