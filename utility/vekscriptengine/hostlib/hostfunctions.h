// The host functions offered to scripts, one family per source file.
#pragma once

#include <lua/lua.h>

// Stores every host function as a global of its own name, in table order.
void RegisterHostFunctions(lua_State* L);

// Messages: debug trace, diagnostic log, message box (messages.cpp).
int Lua_Logout(lua_State* L);
int Lua_MsgBox(lua_State* L);
