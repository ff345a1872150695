#include "scriptlibs.h"

#include <lua/lauxlib.h>
#include <lua/lualib.h>

#include <iterator>

#include "utility/vekscriptengine/dll/dllmanager.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/types/blockvalue.h"

namespace {

// The standard libraries, in the order they are opened.
const luaL_Reg kStandardLibraries[] = {
    {"_G", luaopen_base},
    {LUA_LOADLIBNAME, luaopen_package},
    {LUA_COLIBNAME, luaopen_coroutine},
    {LUA_TABLIBNAME, luaopen_table},
    {LUA_IOLIBNAME, luaopen_io},
    {LUA_OSLIBNAME, luaopen_os},
    {LUA_STRLIBNAME, luaopen_string},
    {LUA_BITLIBNAME, luaopen_bit32},
    {LUA_MATHLIBNAME, luaopen_math},
    {LUA_DBLIBNAME, luaopen_debug},
};

// The script value types: each table is package.loaded[name] and a global.
const luaL_Reg kValueTypes[] = {
    {"AString", luaopen_AString},
    {"WString", luaopen_WString},
    {"RawBuffer", luaopen_RawBuffer},
    {"DllManager", luaopen_DllManager},
};

void RequireAll(lua_State* L, const luaL_Reg* first, const luaL_Reg* last) {
    for (const luaL_Reg* lib = first; lib != last; ++lib) {
        luaL_requiref(L, lib->name, lib->func, 1);
        lua_pop(L, 1);
    }
}

// require never loads a file: no search paths, whatever LUA_PATH and
// LUA_CPATH say (the installer's and the current folder are not ours).
void ClearModulePaths(lua_State* L) {
    lua_getglobal(L, LUA_LOADLIBNAME);
    lua_pushliteral(L, "");
    lua_setfield(L, -2, "path");
    lua_pushliteral(L, "");
    lua_setfield(L, -2, "cpath");
    lua_pop(L, 1);
}

}  // namespace

void OpenScriptLibraries(lua_State* L) {
    RequireAll(L, std::begin(kStandardLibraries), std::end(kStandardLibraries));
    ClearModulePaths(L);
    // Nothing is preloaded; the table exists for scripts that look.
    luaL_getsubtable(L, LUA_REGISTRYINDEX, "_PRELOAD");
    lua_pop(L, 1);
    RequireAll(L, std::begin(kValueTypes), std::end(kValueTypes));
    OpenGlobalLibTable(L);
    RegisterHostFunctions(L);
}
