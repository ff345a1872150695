// Starting a program through the desktop shell, so that it runs at the
// shell's (the user's) level instead of the installer's.
#pragma once

#include <windows.h>

#include <string>

namespace vek {

// Runs `explorer.exe "<file>" "<parameters>"` (WinExec, shown normally, the
// command line in the thread's ANSI code page). Returns WinExec's result:
// above 31 on success.
UINT LaunchViaExplorer(const std::wstring& file, const std::wstring& parameters);

}  // namespace vek
