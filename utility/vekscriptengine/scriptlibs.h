#pragma once

#include <lua/lua.h>

// Builds the global environment of a new state: the standard libraries, the
// script value types, GLibTab and the host functions, in that order.
void OpenScriptLibraries(lua_State* L);
