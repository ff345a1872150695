#include "hostfunctions.h"

#include <lua/lauxlib.h>

namespace {

// Registration order is part of the script interface.
const luaL_Reg kHostFunctions[] = {
    {"Lua_Logout", Lua_Logout},
    {"Lua_MsgBox", Lua_MsgBox},
};

}  // namespace

void RegisterHostFunctions(lua_State* L) {
    for (const luaL_Reg& fn : kHostFunctions) {
        lua_pushcfunction(L, fn.func);
        lua_setglobal(L, fn.name);
    }
}
