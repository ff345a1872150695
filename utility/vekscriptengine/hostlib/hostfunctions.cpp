#include "hostfunctions.h"

#include <lua/lauxlib.h>

namespace {

// Registration order is part of the script interface.
const luaL_Reg kHostFunctions[] = {
    {"Lua_RegQuery", Lua_RegQuery},
    {"Lua_RegAdd", Lua_RegAdd},
    {"Lua_RegDel", Lua_RegDel},
    {"Lua_CreateDirectory", Lua_CreateDirectory},
    {"Lua_CopyFile", Lua_CopyFile},
    {"Lua_MoveFile", Lua_MoveFile},
    {"Lua_RenameFile", Lua_RenameFile},
    {"Lua_DeleteFile", Lua_DeleteFile},
    {"Lua_DeleteFileEx", Lua_DeleteFileEx},
    {"Lua_Logout", Lua_Logout},
    {"Lua_MsgBox", Lua_MsgBox},
    {"Lua_DelFileRecursive", Lua_DelFileRecursive},
    {"Lua_DelFileRecursiveEx", Lua_DelFileRecursiveEx},
    {"Lua_DeleteFileAfterReboot", Lua_DeleteFileAfterReboot},
    {"Lua_GetModuleFileName", Lua_GetModuleFileName},
    {"Lua_GetTempFileName", Lua_GetTempFileName},
    {"Lua_GetTempPath", Lua_GetTempPath},
    {"Lua_ExpandEnv", Lua_ExpandEnv},
    {"Lua_PathFileExists", Lua_PathFileExists},
    {"Lua_PathYetAnotherMakeUniqueName", Lua_PathYetAnotherMakeUniqueName},
};

}  // namespace

void RegisterHostFunctions(lua_State* L) {
    for (const luaL_Reg& fn : kHostFunctions) {
        lua_pushcfunction(L, fn.func);
        lua_setglobal(L, fn.name);
    }
}
