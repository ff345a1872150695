#include "shell.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <optional>

#include "utility/base/childprocess.h"
#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/pathtrace.h"
#include "utility/base/trace.h"

namespace vek {

namespace {

bool IsBareName(const std::wstring& file) {
    return !file.empty() && file.find_first_of(L"\\/:") == std::wstring::npos && file != L"." && file != L"..";
}

// `folder`\`name`, or the same with ".exe" when the name has no extension.
bool FindProgramIn(const std::wstring& folder, const std::wstring& name, std::wstring& path) {
    for (const std::wstring& candidate : {name, name + L".exe"}) {
        const std::wstring full = JoinPath(folder, candidate);
        const DWORD attributes = ::GetFileAttributesW(full.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            path = full;
            return true;
        }
        if (*::PathFindExtensionW(name.c_str()) != L'\0') break;
    }
    return false;
}

bool StartProgram(const std::wstring& program, const std::wstring& arguments, int show) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    const std::wstring folder = SystemFolder();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    return static_cast<bool>(StartChild(program, commandLine, folder, startup));
}

// A bare program name ("cmd.exe", "regsvr32", no folder) that names a
// program in the system folder or the Windows folder becomes that program's
// full path; anything else comes back unchanged. `isSystem` tells which.
std::wstring ResolveSystemProgram(const std::wstring& file, bool* isSystem = nullptr) {
    std::wstring path;
    const bool found = IsBareName(file) &&
                       (FindProgramIn(SystemFolder(), file, path) || FindProgramIn(WindowsFolder(), file, path));
    if (isSystem) *isSystem = found;
    return found ? path : file;
}

// Starts the system program `name` with `arguments` (the command line is
// "<full path>" <arguments>), shown as `show`, in the system folder, and
// does not wait. False, with the thread's last error, when it cannot start.
bool StartSystemProgram(const wchar_t* name, const std::wstring& arguments, int show) {
    bool isSystem = false;
    const std::wstring program = ResolveSystemProgram(name, &isSystem);
    if (!isSystem) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return StartProgram(program, arguments, show);
}

// ShellExecuteW of `verb`, shown normally; true when the shell reports a start.
bool ShellOpen(const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
               const std::wstring& folder) {
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, verb.c_str(), file.c_str(),
                                                                  parameters.c_str(), folder.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace

UINT LaunchViaExplorer(const std::wstring& file, const std::wstring& parameters) {
    const std::wstring explorer = JoinPath(WindowsFolder(), L"explorer.exe");
    if (StartProgram(explorer, L"\"" + file + L"\" \"" + parameters + L"\"", SW_SHOWNORMAL)) return 33;
    switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND: return 2;
        case ERROR_PATH_NOT_FOUND: return 3;
        case ERROR_BAD_EXE_FORMAT: return 11;
        default: return 0;
    }
}

bool ShellStartHidden(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters,
                      const std::wstring& folder, DWORD waitMs, bool* ended) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_HIDE;
    const bool started = ::ShellExecuteExW(&info) != FALSE;
    UniqueHandle process(info.hProcess);  // closed on every path
    bool done = true;
    if (started && waitMs > 0 && process) done = ::WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0;
    if (ended) *ended = done;
    return started;
}

UINT ShellOpenNormal(const std::wstring& file, const std::wstring& parameters) {
    const HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, file.c_str(),
                                             parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
    return static_cast<UINT>(reinterpret_cast<ULONG_PTR>(result));
}

bool ShellStartProgram(const std::wstring& file, const std::wstring& parameters) {
    bool isSystem = false;
    const std::wstring program = ResolveSystemProgram(file, &isSystem);
    return ShellStartHidden(L"open", program, parameters, isSystem ? SystemFolder() : std::wstring(), 0);
}

namespace {

bool IsUnpinVerb(const std::wstring& verb) {
    return _wcsicmp(verb.c_str(), L"Startunpin") == 0 || _wcsicmp(verb.c_str(), L"Taskbarunpin") == 0;
}

bool IsPinVerb(const std::wstring& verb) {
    return IsUnpinVerb(verb) || _wcsicmp(verb.c_str(), L"Startpin") == 0 ||
           _wcsicmp(verb.c_str(), L"Taskbarpin") == 0;
}

bool StartAndWait(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder,
                  const wchar_t* caller) {
    bool ended = true;
    const bool started = ShellStartHidden(nullptr, file, parameters, folder, kRunWaitMs, &ended);
    if (!ended) {
        Trace(L"Fun:%s, Description:%s still runs after %d s, not waited for any longer!\r\n", caller, file.c_str(),
              static_cast<int>(kRunWaitMs / 1000));
    }
    return started;
}

// The file of a run that is not a URL: expanded, a bare system program name
// resolved. When it cannot run, the result of the whole call (traced).
std::optional<bool> PrepareLocal(const ProgramRun& run, const wchar_t* caller, std::wstring& file) {
    std::wstring expanded;
    if (!ExpandPathTraced(run.file, caller, expanded)) return false;
    file = ResolveSystemProgram(expanded);
    if (PathExists(file)) return std::nullopt;
    if (IsUnpinVerb(run.verb)) return true;  // nothing to unpin
    TraceMissingPath(caller, file);
    return false;
}

}  // namespace

bool RunProgram(const ProgramRun& run, const wchar_t* caller) {
    std::wstring file = run.file, parameters, folder;
    if (!IsUrl(run.file)) {
        if (const auto refused = PrepareLocal(run, caller, file)) return *refused;
        parameters = run.parameters;
        folder = ParentFolder(file);
    }
    if (run.throughExplorer) return LaunchViaExplorer(file, parameters) > 31;
    if (run.wait) return StartAndWait(file, parameters, folder, caller);
    return ShellOpen(run.verb, file, parameters, folder) || IsPinVerb(run.verb);
}

bool CallRegistrationEntry(const std::wstring& path, bool registering, const wchar_t* caller) {
    OleScope ole;
    UniqueModule library(::LoadLibraryW(path.c_str()));
    if (!library) {
        Trace(L"Fun:%s, Description: LoadLibrary %s Failed!\r\n", caller, path.c_str());
        TraceError(L"");
        return false;
    }
    using Entry = HRESULT(STDAPICALLTYPE*)();
    const char* name = registering ? "DllRegisterServer" : "DllUnregisterServer";
    auto entry = reinterpret_cast<Entry>(::GetProcAddress(library.get(), name));
    return entry && SUCCEEDED(entry());
}

bool StartRegistrationTool(const std::wstring& options, const std::wstring& path) {
    OleScope ole;
    const bool started = StartSystemProgram(L"regsvr32.exe", options + L" \"" + path + L"\"", SW_HIDE);
    if (!started) Trace(L"reg failed!!! %d", static_cast<int>(::GetLastError()));
    return started;
}

bool SpecialFolderToEnvironment(const std::wstring& name, int csidl) {
    wchar_t folder[kPathUnits] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE)) {
        Trace(L"SHGetSpecialFolderPathW csidl=%d failed!\r\n", csidl);
        TraceError(L"");
        return false;
    }
    if (!::SetEnvironmentVariableW(name.c_str(), folder)) {
        TraceError(L"SetEnvironmentVariableW failed!");
        return false;
    }
    return true;
}

}  // namespace vek
