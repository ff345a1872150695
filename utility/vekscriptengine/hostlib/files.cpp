// File-system host functions: folders, copies, moves, deletions and path
// queries. Paths marked "expanded" go through the environment expansion
// into 260 units; a path that does not fit fails the call with a trace.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "utility/base/filetree.h"
#include "utility/base/paths.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/luacallbackref.h"
#include "utility/vekscriptengine/scriptargs.h"

using vek::Trace;

namespace {

constexpr FILEOP_FLAGS kCopyFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x214
constexpr FILEOP_FLAGS kQuietFlags = kCopyFlags | FOF_NOERRORUI;                           // 0x614
constexpr FILEOP_FLAGS kDeleteFlags = FOF_SILENT | FOF_NOCONFIRMATION;                    // 0x14

int ShellOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags) {
    const std::wstring source = vek::DoubleTerminated(from);
    const std::wstring target = vek::DoubleTerminated(to);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = operation;
    op.pFrom = source.c_str();
    op.pTo = to.empty() && operation == FO_DELETE ? nullptr : target.c_str();
    op.fFlags = flags;
    return ::SHFileOperationW(&op);
}

// Lua_CopyFile and Lua_MoveFile.
int Transfer(lua_State* L, const wchar_t* function, UINT operation, FILEOP_FLAGS flags, const wchar_t* verb) {
    std::wstring from, to;
    if (!vek::ArgExistingPath(L, 1, function, from)) return vek::PushBool(L, false);
    if (!vek::ArgExpandedPath(L, 2, function, to)) return vek::PushBool(L, false);
    const int result = ShellOperation(operation, from, to, flags);
    if (result == 0) {
        Trace(L"%s %s to %s !", verb, from.c_str(), to.c_str());
        return vek::PushBool(L, true);
    }
    Trace(L"%s %s to %s failed!", verb, from.c_str(), to.c_str());
    Trace(L"SHFileOperation error code : %#x\r\n", result);
    return vek::PushBool(L, false);
}

bool DeleteWithRetryBox(const std::wstring& path) {
    if (!vek::PathExists(path)) return true;
    const int result = ShellOperation(FO_DELETE, path, L"", kDeleteFlags);
    if (result == 0) return true;
    wchar_t text[1024];
    _snwprintf(text, std::size(text) - 1, L"无法删除\"%s\"，可能是被占用，请关闭占用程序后点击重试或者点击忽略在卸载完成之后手动删除！",
               path.c_str());
    text[std::size(text) - 1] = L'\0';
    switch (::MessageBoxW(nullptr, text, L"提示", MB_ICONQUESTION | MB_ABORTRETRYIGNORE)) {
        case IDABORT:
            ::ExitProcess(0);
        case IDRETRY:
            DeleteWithRetryBox(path);
            return true;
        case IDIGNORE:
            Trace(L"Delete %s failed!\r\n", path.c_str());
            Trace(L"SHFileOperation error code : %#x\r\n", result);
            return true;
        default:
            Trace(L"Delete %s failed!\r\n", path.c_str());
            Trace(L"SHFileOperation error code : %#x\r\n", result);
            return false;
    }
}

// Lua_DelFileRecursive and Lua_DelFileRecursiveEx.
int DeleteRecursive(lua_State* L, const wchar_t* function, LuaCallbackRef* onFailure) {
    Trace(L"%s", function);
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, function, path)) return 0;
    if (!vek::PathExists(path)) return vek::PushBool(L, true);
    if (vek::IsFolder(path)) {
        Trace(L"PathIsDirectoryW");
        if (onFailure) {
            vek::DeleteDirectoriesEx(path, [onFailure](const std::wstring& file, DWORD error) {
                onFailure->OnError(file, error);
            });
        } else {
            vek::DeleteDirectories(path);
        }
    } else {
        Trace(L"Path is file!");
        if (!::DeleteFileW(path.c_str()) && onFailure) onFailure->OnError(path, ::GetLastError());
    }
    return 0;
}

}  // namespace

int Lua_CreateDirectory(lua_State* L) {
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_CreateDirectory", path)) return vek::PushBool(L, false);
    if (vek::PathExists(path)) return vek::PushBool(L, true);
    vek::ShellCreateDirectory(path);
    if (vek::PathExists(path)) {
        Trace(L"Create Directory %s!\r\n", path.c_str());
        return vek::PushBool(L, true);
    }
    vek::TraceMissingPath(L"Lua_CreateDirectory", path);
    return vek::PushBool(L, false);
}

int Lua_CopyFile(lua_State* L) { return Transfer(L, L"Lua_CopyFile", FO_COPY, kCopyFlags, L"Copy"); }

int Lua_MoveFile(lua_State* L) { return Transfer(L, L"Lua_MoveFile", FO_MOVE, kQuietFlags, L"Move"); }

int Lua_RenameFile(lua_State* L) {
    std::wstring from, to;
    if (!vek::ArgExistingPath(L, 1, L"Lua_RenameFile", from)) return vek::PushBool(L, false);
    if (!vek::ArgExpandedPath(L, 2, L"Lua_RenameFile", to)) return vek::PushBool(L, false);
    const bool moved = ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
    Trace(moved ? L"MoveFile %s to %s !" : L"MoveFile %s to %s failed!", from.c_str(), to.c_str());
    return vek::PushBool(L, moved);
}

int Lua_DeleteFile(lua_State* L) {
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_DeleteFile", path)) return vek::PushBool(L, false);
    return vek::PushBool(L, DeleteWithRetryBox(path));
}

int Lua_DeleteFileEx(lua_State* L) {
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_DeleteFileEx", path)) return vek::PushBool(L, false);
    if (!vek::PathExists(path)) return vek::PushBool(L, true);
    return vek::PushBool(L, ShellOperation(FO_DELETE, path, L"", kQuietFlags) == 0);
}

int Lua_DelFileRecursive(lua_State* L) { return DeleteRecursive(L, L"Lua_DelFileRecursive", nullptr); }

int Lua_DelFileRecursiveEx(lua_State* L) {
    if (lua_gettop(L) >= 1 && lua_type(L, -1) == LUA_TFUNCTION) {
        lua_pushvalue(L, -1);
        LuaCallbackRef callback(L);  // released when the call returns
        return DeleteRecursive(L, L"Lua_DelFileRecursiveEx", &callback);
    }
    return DeleteRecursive(L, L"Lua_DelFileRecursiveEx", nullptr);
}

int Lua_DeleteFileAfterReboot(lua_State* L) {
    Trace(L"Lua_DeleteFileAfterReboot");
    std::wstring path;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_DeleteFileAfterReboot", path)) return vek::PushBool(L, false);
    if (!vek::PathExists(path)) return vek::PushBool(L, true);
    return vek::PushBool(L, ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE);
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
    HMODULE module = nullptr;
    if (lua_gettop(L) >= 1) module = ::GetModuleHandleW(vek::ArgText(L, 1).c_str());
    wchar_t path[vek::kPathUnits] = {};
    ::GetModuleFileNameW(module, path, static_cast<DWORD>(vek::kPathUnits));
    vek::PushText(L, path);
    return 1;
}

int Lua_GetTempFileName(lua_State* L) {
    std::wstring folder;
    wchar_t name[vek::kPathUnits] = {};
    if (!vek::ArgExpandedPath(L, 1, L"Lua_GetTempFileName", folder) ||
        ::GetTempFileNameW(folder.c_str(), vek::ArgText(L, 2).c_str(), 0, name) == 0) {
        lua_pushnil(L);
        return 1;
    }
    vek::PushText(L, name);
    return 1;
}

int Lua_GetTempPath(lua_State* L) {
    wchar_t path[vek::kPathUnits] = {};
    if (::GetTempPathW(static_cast<DWORD>(vek::kPathUnits), path) == 0) {
        Trace(L"GetTempPath Failed!");
    } else if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE)) {
        Trace(L"Get Local AppData Failed!");
    }
    vek::PushString(L, path);
    return 1;
}

int Lua_PathFileExists(lua_State* L) { return vek::PushBool(L, vek::PathExists(vek::ArgText(L, 1))); }

int Lua_PathYetAnotherMakeUniqueName(lua_State* L) {
    std::wstring unique;
    vek::ShellMakeUniqueName(vek::ArgText(L, 1), unique);
    vek::PushString(L, unique);
    return 1;
}
