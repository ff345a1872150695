// Starting programs for the host: through the desktop shell (at the user's
// level instead of the installer's), and the system's own programs, which
// are always taken from the system or Windows folder: the installer runs
// elevated from folders others can write to, where a program of the same
// name may wait. Also COM registration and special folders.
#pragma once

#include <windows.h>

#include <string>

namespace vek {

// Runs `<Windows folder>\explorer.exe "<file>" "<parameters>"`, shown
// normally, in the system folder. Returns a program-start result: above 31
// on success, else 0 (out of resources), 2 (not found), 3 (path not found)
// or 11 (not a program).
UINT LaunchViaExplorer(const std::wstring& file, const std::wstring& parameters);

// ShellExecuteExW of `verb` (nullptr: the default), hidden, in `folder`
// (empty: the shell's choice). With `waitMs` above 0 it then waits that long
// for the started program to end; `ended` tells whether it did (a start
// that gives no process counts as ended).
bool ShellStartHidden(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters,
                      const std::wstring& folder, DWORD waitMs, bool* ended = nullptr);

// ShellExecuteW of the default verb, shown normally; the result is the
// program-start result (above 31 on success).
UINT ShellOpenNormal(const std::wstring& file, const std::wstring& parameters);

// Lua_ShellExec's start: ShellStartHidden with "open" and no wait; a bare
// system program name runs from the system folder, in that folder.
bool ShellStartProgram(const std::wstring& file, const std::wstring& parameters);

// How long a run that waits waits: a program that hangs must not hang the
// install with it.
constexpr DWORD kRunWaitMs = 60000;

// One program start of the scripts (Lua_Exec).
struct ProgramRun {
    std::wstring file;  // a path, expanded here, or a URL, used as it is
    std::wstring verb;
    std::wstring parameters;  // ignored for a URL
    bool wait = false;        // hidden, default verb, waits at most kRunWaitMs
    bool throughExplorer = false;
};

// Starts `run`: through the desktop shell program, or hidden waiting for its
// end, or with ShellOpen of the verb. A missing file fails with the
// missing-path trace, except for the unpin verbs (nothing to unpin: true);
// the pin verbs count as done whatever the shell reports. Traces name `caller`.
bool RunProgram(const ProgramRun& run, const wchar_t* caller);

// Calls DllRegisterServer (`registering`) or DllUnregisterServer of the
// library at `path` with OLE initialised; true when the export exists and
// succeeds. A library that does not load is traced naming `caller`.
bool CallRegistrationEntry(const std::wstring& path, bool registering, const wchar_t* caller);

// Starts the system's regsvr32 with `options` and the quoted path, hidden,
// with OLE initialised, without waiting; "reg failed!!! <error>" when it
// does not start.
bool StartRegistrationTool(const std::wstring& options, const std::wstring& path);

// Sets the process environment variable `name` to the special folder `csidl`
// (not created); traced failures, the variable unchanged then.
bool SpecialFolderToEnvironment(const std::wstring& name, int csidl);

}  // namespace vek
