// Process host functions: find processes by name, end them, and read the
// path of a process's executable.
#include <lua/lauxlib.h>

#include "utility/base/vekprocesstoolhelp.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"

namespace {

// Argument 1 as a process id (a number, or text that reads as one) or as an
// image name.
vek::ProcessTarget ArgTarget(lua_State* L) {
    vek::ProcessTarget target;
    target.byId = lua_isnumber(L, 1) != 0;
    if (target.byId) {
        target.id = vek::ArgInteger(L, 1);
    } else {
        target.name = vek::ArgText(L, 1);
    }
    return target;
}

// Arguments 2 to 5 of Lua_TaskKill: nothing is posted only for an explicit
// nil class name; a nil message asks the window to close.
std::optional<vek::WindowMessage> ArgWindowMessage(lua_State* L) {
    if (lua_type(L, 2) == LUA_TNIL) return std::nullopt;  // an absent class name counts as given
    vek::WindowMessage message;
    message.className = vek::ArgText(L, 2);
    if (lua_type(L, 3) != LUA_TNIL) {
        message.message = vek::ToUInt32(L, 3);
        message.wParam = vek::ToUInt32(L, 4);
        message.lParam = vek::ToInt32(L, 5);
    }
    return message;
}

}  // namespace

int Lua_TaskKill(lua_State* L) { return vek::PushBool(L, vek::EndProcess(ArgTarget(L), ArgWindowMessage(L))); }

int Lua_KillAllTaskByName(lua_State* L) { return vek::PushBool(L, vek::EndProcess(ArgTarget(L))); }

int Lua_GetProcessId(lua_State* L) {
    const std::vector<DWORD> ids = vek::ProcessIdsByName(vek::ArgText(L, lua_gettop(L)));
    if (ids.empty()) {
        lua_pushnumber(L, -1);
        return 1;
    }
    luaL_checkstack(L, static_cast<int>(ids.size()), "too many processes");
    for (DWORD id : ids) lua_pushnumber(L, id);
    return static_cast<int>(ids.size());
}

int Lua_GetImagePathByPid(lua_State* L) {
    const auto path = vek::ProcessImagePath(vek::ToUInt32(L, lua_gettop(L)));
    if (!path) return 0;
    vek::PushString(L, *path);
    return 1;
}
