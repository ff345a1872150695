// Library values: DllManager.Load, GLibTab and the bound functions that call
// library exports.
#pragma once

#include <lua/lua.h>

int luaopen_DllManager(lua_State* L);
// Creates the global GLibTab, which loads a library the first time a key of
// it is read.
void OpenGlobalLibTable(lua_State* L);
