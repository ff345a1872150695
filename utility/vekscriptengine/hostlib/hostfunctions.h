// The host functions offered to scripts, one family per source file.
#pragma once

#include <lua/lua.h>

// Stores every host function as a global of its own name, in table order.
// A C++ exception under a host function becomes its failure result, traced.
void RegisterHostFunctions(lua_State* L);

namespace vek {
// Calls `fn` the way registered host functions are called: a C++ exception
// under it gives false (with a trace) instead.
int CallHostFunction(lua_State* L, lua_CFunction fn, const char* name);
}  // namespace vek

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

// Shell: shortcuts, COM registration, special folders, program starts (shell.cpp).
int Lua_CreateShortcut(lua_State* L);
int Lua_RegSvr32(lua_State* L);
int Lua_RegistDll(lua_State* L);
int Lua_RegVarByCSIDL(lua_State* L);
int Lua_ShellExec(lua_State* L);
int Lua_ExplorerExec(lua_State* L);
int Lua_Exec(lua_State* L);

// Processes (processes.cpp).
int Lua_TaskKill(lua_State* L);
int Lua_KillAllTaskByName(lua_State* L);
int Lua_GetProcessId(lua_State* L);
int Lua_GetImagePathByPid(lua_State* L);

// Services (services.cpp).
int Lua_SCM(lua_State* L);

// System: privileges, shutdown, version, command line, drives (system.cpp).
int Lua_EnablePrivilege(lua_State* L);
int Lua_ExitWindows(lua_State* L);
int Lua_IsWow64(lua_State* L);
int Lua_GetOSVersion(lua_State* L);
int Lua_GetCommandLineArgv(lua_State* L);
int Lua_GetDriverInstallPath(lua_State* L);

// Archive and resources (archive.cpp).
int Lua_UnCompress7z(lua_State* L);
int Lua_ExtractResource(lua_State* L);
