// Starting programs for the host: through the desktop shell (at the user's
// level instead of the installer's), and the system's own programs, which
// are always taken from the system or Windows folder: the installer runs
// elevated from folders others can write to, where a program of the same
// name may wait.
#pragma once

#include <windows.h>

#include <string>

namespace vek {

// A bare program name ("cmd.exe", "regsvr32", no folder) that names a
// program in the system folder or the Windows folder becomes that program's
// full path; anything else comes back unchanged. `isSystem` tells which.
std::wstring ResolveSystemProgram(const std::wstring& file, bool* isSystem = nullptr);

// Runs `<Windows folder>\explorer.exe "<file>" "<parameters>"`, shown
// normally, in the system folder. Returns a program-start result: above 31
// on success, else 0 (out of resources), 2 (not found), 3 (path not found)
// or 11 (not a program).
UINT LaunchViaExplorer(const std::wstring& file, const std::wstring& parameters);

// Starts the system program `name` with `arguments` (the command line is
// "<full path>" <arguments>), shown as `show`, in the system folder, and
// does not wait. False, with the thread's last error, when it cannot start.
bool StartSystemProgram(const wchar_t* name, const std::wstring& arguments, int show);

// ShellExecuteExW of `verb` (nullptr: the default), hidden, in `folder`
// (empty: the shell's choice). With `waitMs` above 0 it then waits that long
// for the started program to end; `ended` tells whether it did (a start
// that gives no process counts as ended).
bool ShellStartHidden(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters,
                      const std::wstring& folder, DWORD waitMs, bool* ended = nullptr);

// ShellExecuteW of `verb`, shown normally; true when the shell reports a start.
bool ShellOpen(const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
               const std::wstring& folder);

}  // namespace vek
