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

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    return folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

namespace {

template <typename Fn>
Fn ShellOrdinal(WORD ordinal) {
    HMODULE shell = ::GetModuleHandleW(L"shell32.dll");
    if (!shell) shell = ::LoadLibraryW(L"shell32.dll");  // stays loaded for the process
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
