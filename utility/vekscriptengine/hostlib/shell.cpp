// Shell integration host functions: shortcuts, COM registration, special
// folders as environment variables, and program starts.
#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <intshcut.h>

#include "utility/base/handles.h"
#include "utility/base/shell.h"
#include "utility/base/paths.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

using vek::Trace;

namespace {

std::wstring FolderOf(const std::wstring& path) {
    wchar_t folder[vek::kPathUnits] = {};
    lstrcpynW(folder, path.c_str(), static_cast<int>(vek::kPathUnits));
    ::PathRemoveFileSpecW(folder);
    return folder;
}

// --- shortcuts ------------------------------------------------------------------

bool UrlShortcutFile(const std::wstring& url, vek::ComPtr<IPersistFile>& file) {
    vek::ComPtr<IUniformResourceLocatorW> shortcut;
    if (FAILED(::CoCreateInstance(CLSID_InternetShortcut, nullptr, CLSCTX_ALL, IID_IUniformResourceLocatorW,
                                  shortcut.put_void()))) {
        TraceError(L"CoCreateInstance(CLSID_InternetShortcut) failed!");
        return false;
    }
    if (FAILED(shortcut->SetURL(url.c_str(), 0))) {
        Trace(L"SetURL %s failed!\r\n", url.c_str());
        TraceError(L"");
        return false;
    }
    if (FAILED(shortcut->QueryInterface(IID_IPersistFile, file.put_void()))) {
        TraceError(L"QueryInterface IID_IPersistFile failed!");
        return false;
    }
    return true;
}

// Sets a text property; traces `failure` with the text and reports on error.
template <typename Setter>
bool SetLinkText(Setter set, const std::wstring& text, const wchar_t* failure) {
    if (SUCCEEDED(set(text.c_str()))) return true;
    Trace(failure, text.c_str());
    TraceError(L"");
    return false;
}

bool FileShortcutFile(lua_State* L, const std::wstring& rawTarget, vek::ComPtr<IPersistFile>& file) {
    std::wstring target;
    if (!vek::ArgExpandedPath(L, 1, L"Lua_CreateShortcut", target)) return false;
    vek::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, link.put_void()))) {
        TraceError(L"CoCreateInstance(CLSID_ShellLink) failed!");
        return false;
    }
    IShellLinkW* l = link.get();
    if (lua_gettop(L) >= 4) {
        if (!lua_isnil(L, 3) &&
            !SetLinkText([l](LPCWSTR s) { return l->SetArguments(s); }, vek::ArgText(L, 3), L"SetArguments %s failed!\r\n"))
            return false;
        if (!lua_isnil(L, 4) && !SetLinkText([l](LPCWSTR s) { return l->SetDescription(s); }, vek::ArgText(L, 4),
                                              L"SetDescription %s failed!\r\n"))
            return false;
    }
    if (!SetLinkText([l](LPCWSTR s) { return l->SetPath(s); }, target, L"SetPath %s failed!\r\n")) return false;
    if (!SetLinkText([l](LPCWSTR s) { return l->SetWorkingDirectory(s); }, FolderOf(target),
                     L"SetWorkingDirectory %s failed!\r\n"))
        return false;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) {
        TraceError(L"QueryInterface IID_IPersistFile failed!");
        return false;
    }
    return true;
}

// --- program starts ---------------------------------------------------------------

bool IsUnpinVerb(const std::wstring& verb) {
    return _wcsicmp(verb.c_str(), L"Startunpin") == 0 || _wcsicmp(verb.c_str(), L"Taskbarunpin") == 0;
}

bool IsPinVerb(const std::wstring& verb) {
    return IsUnpinVerb(verb) || _wcsicmp(verb.c_str(), L"Startpin") == 0 ||
           _wcsicmp(verb.c_str(), L"Taskbarpin") == 0;
}

// How long Lua_Exec waits for a program it was asked to wait for: a
// program that hangs must not hang the install with it.
constexpr DWORD kExecWaitMs = 60000;

}  // namespace

int Lua_CreateShortcut(lua_State* L) {
    vek::ComScope com;
    const std::wstring target = vek::ArgText(L, 1);
    std::wstring shortcut;
    if (!vek::ArgExpandedPath(L, 2, L"Lua_CreateShortcut", shortcut)) return vek::PushBool(L, false);
    const std::wstring folder = FolderOf(shortcut);
    if (!vek::PathExists(folder)) vek::ShellCreateDirectory(folder);

    vek::ComPtr<IPersistFile> file;
    const bool made = ::PathIsURLW(target.c_str()) ? UrlShortcutFile(target, file) : FileShortcutFile(L, target, file);
    if (!made) return vek::PushBool(L, false);
    if (FAILED(file->Save(shortcut.c_str(), TRUE))) {
        Trace(L"Save %s failed!\r\n", shortcut.c_str());
        TraceError(L"");
        return vek::PushBool(L, false);
    }
    Trace(L"Save Shortcut %s \r\n", shortcut.c_str());
    return vek::PushBool(L, true);
}

int Lua_RegSvr32(lua_State* L) {
    vek::OleScope ole;
    std::wstring path;
    if (!vek::ArgExistingPath(L, 1, L"Lua_RegSvr32", path)) return vek::PushBool(L, false);
    vek::UniqueModule library(::LoadLibraryW(path.c_str()));
    if (!library) {
        Trace(L"Fun:%s, Description: LoadLibrary %s Failed!\r\n", L"Lua_RegSvr32", path.c_str());
        TraceError(L"");
        return vek::PushBool(L, false);
    }
    using Entry = HRESULT(STDAPICALLTYPE*)();
    const char* name = vek::ArgBool(L, 2) ? "DllRegisterServer" : "DllUnregisterServer";
    auto entry = reinterpret_cast<Entry>(::GetProcAddress(library.get(), name));
    return vek::PushBool(L, entry && SUCCEEDED(entry()));
}

int Lua_RegistDll(lua_State* L) {
    vek::OleScope ole;
    std::wstring path;
    if (!vek::ArgExistingPath(L, 1, L"Lua_RegistDll", path)) return vek::PushBool(L, false);
    const bool started = vek::StartSystemProgram(L"regsvr32.exe", vek::ArgText(L, 2) + L" \"" + path + L"\"", SW_HIDE);
    if (!started) Trace(L"reg failed!!! %d", static_cast<int>(::GetLastError()));
    return vek::PushBool(L, started);
}

int Lua_RegVarByCSIDL(lua_State* L) {
    const int csidl = vek::ToInt32(L, 2);
    wchar_t folder[vek::kPathUnits] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE)) {
        Trace(L"SHGetSpecialFolderPathW csidl=%d failed!\r\n", csidl);
        TraceError(L"");
        return vek::PushBool(L, false);
    }
    if (!::SetEnvironmentVariableW(vek::ArgText(L, 1).c_str(), folder)) {
        TraceError(L"SetEnvironmentVariableW failed!");
        return vek::PushBool(L, false);
    }
    return vek::PushBool(L, true);
}

int Lua_ShellExec(lua_State* L) {
    bool isSystem = false;
    const std::wstring file = vek::ResolveSystemProgram(vek::ArgText(L, 1), &isSystem);
    const std::wstring folder = isSystem ? vek::SystemFolder() : std::wstring();
    return vek::PushBool(L, vek::ShellStartHidden(L"open", file, vek::ArgText(L, 2), folder, 0));
}

int Lua_ExplorerExec(lua_State* L) {
    return vek::PushBool(L, vek::LaunchViaExplorer(vek::ArgText(L, 1), vek::ArgText(L, 2)) > 31);
}

int Lua_Exec(lua_State* L) {
    std::wstring file = vek::ArgText(L, 1);
    const std::wstring verb = vek::ArgText(L, 2);
    std::wstring parameters, folder;
    if (!::PathIsURLW(file.c_str())) {
        std::wstring expanded;
        if (!vek::ArgExpandedPath(L, 1, L"Lua_Exec", expanded)) return vek::PushBool(L, false);
        file = vek::ResolveSystemProgram(expanded);
        if (!vek::PathExists(file)) {
            if (IsUnpinVerb(verb)) return vek::PushBool(L, true);  // nothing to unpin
            vek::TraceMissingPath(L"Lua_Exec", file);
            return vek::PushBool(L, false);
        }
        parameters = vek::ArgText(L, 3);
        folder = FolderOf(file);
    }
    if (vek::ArgBool(L, 5)) return vek::PushBool(L, vek::LaunchViaExplorer(file, parameters) > 31);
    if (vek::ArgBool(L, 4)) {
        bool ended = true;
        const bool started = vek::ShellStartHidden(nullptr, file, parameters, folder, kExecWaitMs, &ended);
        if (!ended) {
            Trace(L"Fun:Lua_Exec, Description:%s still runs after %d s, not waited for any longer!\r\n", file.c_str(),
                  static_cast<int>(kExecWaitMs / 1000));
        }
        return vek::PushBool(L, started);
    }
    return vek::PushBool(L, vek::ShellOpen(verb, file, parameters, folder) || IsPinVerb(verb));
}
