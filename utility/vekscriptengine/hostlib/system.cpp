// System host functions: privileges, shutdown, and what the scripts ask
// about the system and the installer's own command line.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "utility/base/paths.h"
#include "utility/base/privileges.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

int Lua_EnablePrivilege(lua_State* L) {
    const int top = lua_gettop(L);
    const std::wstring name = top >= 2 ? vek::ArgText(L, top - 1) : std::wstring();
    return vek::PushBool(L, vek::SetPrivilege(name, top >= 1 && vek::ArgBool(L, top)));
}

int Lua_ExitWindows(lua_State* L) {
    vek::SetPrivilege(L"SeShutdownPrivilege", true);
    return vek::PushBool(L, ::ExitWindowsEx(vek::ToUInt32(L, 1), vek::ToUInt32(L, 2)) != FALSE);
}

int Lua_IsWow64(lua_State* L) {
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = reinterpret_cast<IsWow64>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "IsWow64Process"));
    BOOL wow64 = FALSE;
    return vek::PushBool(L, isWow64 && isWow64(::GetCurrentProcess(), &wow64) && wow64);
}

int Lua_GetOSVersion(lua_State* L) {
    lua_pushnumber(L, LOBYTE(LOWORD(::GetVersion())));
    return 1;
}

int Lua_GetCommandLineArgv(lua_State* L) {
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!argv) return 0;
    if (count < 1) {
        ::LocalFree(argv);
        return 0;
    }
    lua_createtable(L, count, 0);
    for (int i = 0; i < count; ++i) {
        vek::PushString(L, argv[i]);
        lua_rawseti(L, -2, i + 1);
    }
    ::LocalFree(argv);
    return 1;
}

int Lua_GetDriverInstallPath(lua_State* L) {
    std::vector<std::wstring> fixed;
    const DWORD drives = ::GetLogicalDrives();
    for (int bit = 0; bit <= 30; ++bit) {
        if (!(drives & (1u << bit))) continue;
        wchar_t drive[8];
        _snwprintf(drive, 8, L"%c%s", L'A' + bit, L":");
        drive[7] = L'\0';
        if (::GetDriveTypeW((std::wstring(drive) + L"\\").c_str()) == DRIVE_FIXED) fixed.push_back(drive);
    }
    std::wstring result;
    vek::ExpandPath(L"%ProgramFiles%\\", result);
    for (size_t i = 1; i < fixed.size() && result.size() >= 2; ++i) {
        const std::wstring candidate = fixed[i] + result.substr(2);
        if (vek::PathExists(candidate)) {
            result = candidate;
            break;
        }
    }
    vek::PushString(L, result);
    return 1;
}
