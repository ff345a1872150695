// The host functions offered to scripts, one family per source file.
#pragma once

#include <lua/lua.h>

// Stores every host function as a global of its own name, in table order.
void RegisterHostFunctions(lua_State* L);

// Messages: debug trace, diagnostic log, message box (messages.cpp).
int Lua_Logout(lua_State* L);
int Lua_MsgBox(lua_State* L);

// Files and folders (files.cpp).
int Lua_CreateDirectory(lua_State* L);
int Lua_CopyFile(lua_State* L);
int Lua_MoveFile(lua_State* L);
int Lua_RenameFile(lua_State* L);
int Lua_DeleteFile(lua_State* L);
int Lua_DeleteFileEx(lua_State* L);
int Lua_DelFileRecursive(lua_State* L);
int Lua_DelFileRecursiveEx(lua_State* L);
int Lua_DeleteFileAfterReboot(lua_State* L);
int Lua_GetModuleFileName(lua_State* L);
int Lua_GetTempFileName(lua_State* L);
int Lua_GetTempPath(lua_State* L);
int Lua_ExpandEnv(lua_State* L);
int Lua_PathFileExists(lua_State* L);
int Lua_PathYetAnotherMakeUniqueName(lua_State* L);

// Registry (registry.cpp).
int Lua_RegQuery(lua_State* L);
int Lua_RegAdd(lua_State* L);
int Lua_RegDel(lua_State* L);
