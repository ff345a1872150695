#include "system.h"

#include <shellapi.h>

#include <cwchar>

#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/privileges.h"

namespace vek {

namespace {

struct LocalArray {
    static LPWSTR* Invalid() { return nullptr; }
    static void Close(LPWSTR* argv) { ::LocalFree(argv); }
};

// "A:" ... for every fixed drive, by letter.
std::vector<std::wstring> FixedDrives() {
    std::vector<std::wstring> fixed;
    const DWORD drives = ::GetLogicalDrives();
    for (int bit = 0; bit <= 30; ++bit) {
        if (!(drives & (1u << bit))) continue;
        wchar_t drive[8];
        _snwprintf(drive, 8, L"%c%s", L'A' + bit, L":");
        drive[7] = L'\0';
        if (::GetDriveTypeW((std::wstring(drive) + L"\\").c_str()) == DRIVE_FIXED) fixed.push_back(drive);
    }
    return fixed;
}

}  // namespace

unsigned OsMajorVersion() { return LOBYTE(LOWORD(::GetVersion())); }

bool IsWow64() {
    using IsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto query =
        reinterpret_cast<IsWow64Process>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process"));
    BOOL wow64 = FALSE;
    return query && query(::GetCurrentProcess(), &wow64) && wow64;
}

std::optional<std::vector<std::wstring>> CommandLineArguments() {
    int count = 0;
    UniqueResource<LPWSTR*, LocalArray> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!argv || count < 1) return std::nullopt;
    return std::vector<std::wstring>(argv.get(), argv.get() + count);
}

std::wstring DriverInstallPath() {
    const std::vector<std::wstring> fixed = FixedDrives();
    std::wstring result;
    ExpandPath(L"%ProgramFiles%\\", result);
    for (size_t i = 1; i < fixed.size() && result.size() >= 2; ++i) {
        const std::wstring candidate = fixed[i] + result.substr(2);
        if (PathExists(candidate)) return candidate;
    }
    return result;
}

bool EndSession(UINT flags, DWORD reason) {
    SetPrivilege(L"SeShutdownPrivilege", true);
    return ::ExitWindowsEx(flags, reason) != FALSE;
}

double MillisecondsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    ::GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

}  // namespace vek
