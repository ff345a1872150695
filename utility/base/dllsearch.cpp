#include "dllsearch.h"

#include "utility/base/paths.h"

namespace vek {

namespace {

// Present from Windows 8 on, and on Windows 7 with its loader update.
bool HasSearchFlags() {
    static const bool has =
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
    return has;
}

}  // namespace

bool RestrictDllSearchToSystem() {
    using SetDefault = BOOL(WINAPI*)(DWORD);
    auto set = reinterpret_cast<SetDefault>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"));
    if (set && set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    ::SetDllDirectoryW(L"");
    return false;
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
    const std::wstring path = JoinPath(SystemFolder(), name);
    if (HasSearchFlags()) return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE LoadLibraryBeside(const std::wstring& fullPath) {
    if (HasSearchFlags()) {
        return ::LoadLibraryExW(fullPath.c_str(), nullptr,
                                LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    return ::LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace vek
