// File-system host functions: folders, copies, moves, deletions and path
// queries. Paths marked "expanded" go through the environment expansion
// into 260 units; a path that does not fit fails the call with a trace.
#include "utility/base/fileops.h"
#include "utility/base/paths.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/luacallbackref.h"
#include "utility/vekscriptengine/scriptargs.h"

namespace {

using PathPair = vek::Status (*)(const std::wstring&, const std::wstring&);

// Lua_CopyFile, Lua_MoveFile and Lua_RenameFile: an existing source, a target.
int SourceAndTarget(lua_State* L, const wchar_t* function, PathPair operation) {
    std::wstring from, to;
    if (!vek::ArgExistingPath(L, 1, function, from)) return vek::PushBool(L, false);
    if (!vek::ArgExpandedPath(L, 2, function, to)) return vek::PushBool(L, false);
    return vek::PushBool(L, operation(from, to).ok);
}

// Lua_DelFileRecursive and Lua_DelFileRecursiveEx: true when there was
// nothing to delete, no result otherwise.
int DeleteRecursive(lua_State* L, const wchar_t* function, const vek::DeleteFailure* onFailure) {
    vek::Trace(L"%s", function);
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, function, path)) return 0;
    return vek::DeleteFileOrTree(path, onFailure) ? 0 : vek::PushBool(L, true);
}

// Expanded path argument 1 for a deletion that gives a boolean.
template <typename Delete>
int DeletePath(lua_State* L, const wchar_t* function, Delete deletion) {
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, function, path)) return vek::PushBool(L, false);
    return vek::PushBool(L, deletion(path));
}

}  // namespace

int Lua_CreateDirectory(lua_State* L) {
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_CreateDirectory", path)) return vek::PushBool(L, false);
    const bool made = vek::MakeFolder(path).ok;
    if (!made) vek::TraceMissingPath(L"Lua_CreateDirectory", path);
    return vek::PushBool(L, made);
}

int Lua_CopyFile(lua_State* L) { return SourceAndTarget(L, L"Lua_CopyFile", vek::CopyPath); }

int Lua_MoveFile(lua_State* L) { return SourceAndTarget(L, L"Lua_MoveFile", vek::MovePath); }

int Lua_RenameFile(lua_State* L) { return SourceAndTarget(L, L"Lua_RenameFile", vek::RenamePath); }

int Lua_DeleteFile(lua_State* L) { return DeletePath(L, L"Lua_DeleteFile", vek::DeleteWithRetryBox); }

int Lua_DeleteFileEx(lua_State* L) {
    return DeletePath(L, L"Lua_DeleteFileEx", [](const std::wstring& path) { return vek::DeleteQuietly(path).ok; });
}

int Lua_DelFileRecursive(lua_State* L) { return DeleteRecursive(L, L"Lua_DelFileRecursive", nullptr); }

int Lua_DelFileRecursiveEx(lua_State* L) {
    if (lua_gettop(L) >= 1 && lua_type(L, -1) == LUA_TFUNCTION) {
        lua_pushvalue(L, -1);
        LuaCallbackRef callback(L);  // released when the call returns
        const vek::DeleteFailure onFailure = [&callback](const std::wstring& file, DWORD error) {
            callback.OnError(file, error);
        };
        return DeleteRecursive(L, L"Lua_DelFileRecursiveEx", &onFailure);
    }
    return DeleteRecursive(L, L"Lua_DelFileRecursiveEx", nullptr);
}

int Lua_DeleteFileAfterReboot(lua_State* L) {
    vek::Trace(L"Lua_DeleteFileAfterReboot");
    return DeletePath(L, L"Lua_DeleteFileAfterReboot",
                      [](const std::wstring& path) { return vek::DeleteAfterReboot(path).ok; });
}

int Lua_ExpandEnv(lua_State* L) {
    std::wstring expanded;
    if (!vek::ArgExpandedPath(L, lua_gettop(L), L"Lua_ExpandEnv", expanded)) {
        lua_pushnil(L);
        return 1;
    }
    vek::PushString(L, expanded);
    return 1;
}

int Lua_GetModuleFileName(lua_State* L) {
    std::optional<std::wstring> name;
    if (lua_gettop(L) >= 1) name = vek::ArgText(L, 1);
    vek::PushText(L, vek::LoadedModulePath(name));
    return 1;
}

int Lua_GetTempFileName(lua_State* L) {
    std::wstring folder;
    std::optional<std::wstring> name;
    if (vek::ArgExpandedPath(L, 1, L"Lua_GetTempFileName", folder)) name = vek::MakeTempFile(folder, vek::ArgText(L, 2));
    if (!name) {
        lua_pushnil(L);
        return 1;
    }
    vek::PushText(L, *name);
    return 1;
}

int Lua_GetTempPath(lua_State* L) {
    vek::PushString(L, vek::ScriptTempFolder());
    return 1;
}

int Lua_PathFileExists(lua_State* L) { return vek::PushBool(L, vek::PathExists(vek::ArgText(L, 1))); }

int Lua_PathYetAnotherMakeUniqueName(lua_State* L) {
    std::wstring unique;
    vek::ShellMakeUniqueName(vek::ArgText(L, 1), unique);
    vek::PushString(L, unique);
    return 1;
}
