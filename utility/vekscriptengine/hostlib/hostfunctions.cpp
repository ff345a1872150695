#include "hostfunctions.h"

#include <lua/lauxlib.h>

#include <exception>

#include "utility/base/textconv.h"
#include "utility/base/trace.h"

namespace {

// What a host function gives when host code under it throws a C++
// exception (memory exhausted, for example): its ordinary failure result.
enum class Failure { False, Nil, EmptyText, MinusOne, Zero, Nothing };

int PushFailure(lua_State* L, Failure failure) {
    switch (failure) {
        case Failure::False: lua_pushboolean(L, 0); return 1;
        case Failure::Nil: lua_pushnil(L); return 1;
        case Failure::EmptyText: lua_pushliteral(L, ""); return 1;
        case Failure::MinusOne: lua_pushnumber(L, -1); return 1;
        case Failure::Zero: lua_pushnumber(L, 0); return 1;
        case Failure::Nothing: return 0;
    }
    return 0;
}

// Script errors pass through untouched (they are not std::exception).
int GuardedCall(lua_State* L, lua_CFunction fn, const char* name, Failure failure) {
    const int top = lua_gettop(L);
    try {
        return fn(L);
    } catch (const std::exception& e) {
        lua_settop(L, top);
        vek::Trace(L"Fun:%s, Description:%s!\r\n", vek::Utf8ToWide(name).c_str(),
                   vek::ThreadAnsiToWide(e.what()).c_str());
        return PushFailure(L, failure);
    }
}

struct HostFunction {
    const char* name;
    lua_CFunction fn;
};

#define VEK_HOST(fn, failure) \
    { #fn, [](lua_State* L) { return GuardedCall(L, fn, #fn, Failure::failure); } }

// Registration order is part of the script interface.
const HostFunction kHostFunctions[] = {
    VEK_HOST(Lua_UnCompress7z, False),
    VEK_HOST(Lua_RegSvr32, False),
    VEK_HOST(Lua_RegistDll, False),
    VEK_HOST(Lua_RegQuery, Nil),
    VEK_HOST(Lua_RegAdd, False),
    VEK_HOST(Lua_RegDel, False),
    VEK_HOST(Lua_CreateShortcut, False),
    VEK_HOST(Lua_CreateDirectory, False),
    VEK_HOST(Lua_CopyFile, False),
    VEK_HOST(Lua_MoveFile, False),
    VEK_HOST(Lua_RenameFile, False),
    VEK_HOST(Lua_DeleteFile, False),
    VEK_HOST(Lua_DeleteFileEx, False),
    VEK_HOST(Lua_Exec, False),
    VEK_HOST(Lua_ExplorerExec, False),
    VEK_HOST(Lua_TaskKill, False),
    VEK_HOST(Lua_SCM, False),
    VEK_HOST(Lua_RegVarByCSIDL, False),
    VEK_HOST(Lua_ExtractResource, False),
    VEK_HOST(Lua_GetOSVersion, Zero),
    VEK_HOST(Lua_Logout, Nothing),
    VEK_HOST(Lua_MsgBox, Zero),
    VEK_HOST(Lua_DelFileRecursive, Nothing),
    VEK_HOST(Lua_DelFileRecursiveEx, Nothing),
    VEK_HOST(Lua_DeleteFileAfterReboot, False),
    VEK_HOST(Lua_IsWow64, False),
    VEK_HOST(Lua_GetProcessId, MinusOne),
    VEK_HOST(Lua_ExitWindows, False),
    VEK_HOST(Lua_GetModuleFileName, Nil),
    VEK_HOST(Lua_GetCommandLineArgv, Nothing),
    VEK_HOST(Lua_EnablePrivilege, False),
    VEK_HOST(Lua_GetTempFileName, Nil),
    VEK_HOST(Lua_GetTempPath, EmptyText),
    VEK_HOST(Lua_ExpandEnv, Nil),
    VEK_HOST(Lua_GetImagePathByPid, Nothing),
    VEK_HOST(Lua_GetDriverInstallPath, EmptyText),
    VEK_HOST(Lua_KillAllTaskByName, False),
    VEK_HOST(Lua_PathFileExists, False),
    VEK_HOST(Lua_PathYetAnotherMakeUniqueName, EmptyText),
    VEK_HOST(Lua_ShellExec, False),
};

#undef VEK_HOST

}  // namespace

void RegisterHostFunctions(lua_State* L) {
    for (const HostFunction& fn : kHostFunctions) {
        lua_pushcfunction(L, fn.fn);
        lua_setglobal(L, fn.name);
    }
}

namespace vek {

int CallHostFunction(lua_State* L, lua_CFunction fn, const char* name) {
    return GuardedCall(L, fn, name, Failure::False);
}

}  // namespace vek
