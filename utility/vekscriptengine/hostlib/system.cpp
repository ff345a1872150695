// System host functions: privileges, shutdown, and what the scripts ask
// about the system and the installer's own command line.
#include "utility/base/privileges.h"
#include "utility/base/system.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"

int Lua_EnablePrivilege(lua_State* L) {
    const int top = lua_gettop(L);
    const std::wstring name = top >= 2 ? vek::ArgText(L, top - 1) : std::wstring();
    return vek::PushBool(L, vek::SetPrivilege(name, top >= 1 && vek::ArgBool(L, top)));
}

int Lua_ExitWindows(lua_State* L) {
    return vek::PushBool(L, vek::EndSession(vek::ToUInt32(L, 1), vek::ToUInt32(L, 2)));
}

int Lua_IsWow64(lua_State* L) { return vek::PushBool(L, vek::IsWow64()); }

int Lua_GetOSVersion(lua_State* L) {
    lua_pushnumber(L, vek::OsMajorVersion());
    return 1;
}

int Lua_GetCommandLineArgv(lua_State* L) {
    const auto argv = vek::CommandLineArguments();
    if (!argv) return 0;
    lua_createtable(L, static_cast<int>(argv->size()), 0);
    for (size_t i = 0; i < argv->size(); ++i) {
        vek::PushString(L, (*argv)[i]);
        lua_rawseti(L, -2, static_cast<int>(i + 1));
    }
    return 1;
}

int Lua_GetDriverInstallPath(lua_State* L) {
    vek::PushString(L, vek::DriverInstallPath());
    return 1;
}
