// Process host functions: find processes by name, end them, and read the
// path of a process's executable.
#include <windows.h>
#include <psapi.h>

#include "utility/base/vekprocesstoolhelp.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

namespace {

// Argument 1 as a process id (a number, or text that reads as one) or as an
// image name looked up in the snapshot; -1 when no process has that name.
long long TargetProcess(lua_State* L, const vek::ProcessToolHelp& processes) {
    if (lua_isnumber(L, 1)) return vek::ArgInteger(L, 1);
    return processes.FindProcessIdByName(vek::ArgText(L, 1));
}

int KillTarget(lua_State* L) {
    const vek::ProcessToolHelp processes;
    const long long pid = TargetProcess(L, processes);
    if (pid == -1) return vek::PushBool(L, true);
    return vek::PushBool(L, vek::KillProcessById(static_cast<DWORD>(pid)));
}

}  // namespace

int Lua_TaskKill(lua_State* L) {
    if (lua_type(L, 2) != LUA_TNIL) {  // an absent class name counts as given
        HWND window = ::FindWindowW(vek::ArgText(L, 2).c_str(), nullptr);
        UINT message = WM_SYSCOMMAND;
        WPARAM wParam = SC_CLOSE;
        LPARAM lParam = 0;
        if (lua_type(L, 3) != LUA_TNIL) {
            message = vek::ToUInt32(L, 3);
            wParam = vek::ToUInt32(L, 4);
            lParam = vek::ToInt32(L, 5);
        }
        if (window) ::PostMessageW(window, message, wParam, lParam);
    }
    return KillTarget(L);
}

int Lua_KillAllTaskByName(lua_State* L) { return KillTarget(L); }

int Lua_GetProcessId(lua_State* L) {
    const vek::ProcessToolHelp processes;
    const std::vector<DWORD> ids = processes.FindProcessIdsByName(vek::ArgText(L, lua_gettop(L)));
    if (ids.empty()) {
        lua_pushnumber(L, -1);
        return 1;
    }
    luaL_checkstack(L, static_cast<int>(ids.size()), "too many processes");
    for (DWORD id : ids) lua_pushnumber(L, id);
    return static_cast<int>(ids.size());
}

int Lua_GetImagePathByPid(lua_State* L) {
    const DWORD pid = vek::ToUInt32(L, lua_gettop(L));
    vek::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process) return 0;
    wchar_t image[MAX_PATH] = {};
    const DWORD length = ::GetProcessImageFileNameW(process.get(), image, MAX_PATH);
    process.reset();
    if (length == 0) return 0;
    std::wstring path(image, length);
    vek::ProcessToolHelp processes;
    if (!processes.DevicePathToDosPath(path)) return 0;
    vek::PushString(L, path);
    return 1;
}
