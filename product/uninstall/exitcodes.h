// Exit codes of Uninstall.exe. The program started from the install folder
// returns its work copy's code, or its own when there is no work copy.
#pragma once

#include <windows.h>

namespace uninstall {

constexpr DWORD kDone = 0;            // uninstalled, or left before confirming: nothing ran
constexpr DWORD kChunksFailed = 1;    // Uninst.dar0 or Uninst.dar1 missing, too large, unreadable or not loadable
constexpr DWORD kScriptError = 2;     // a script error ended the run (after the engine's message box)
constexpr DWORD kAnotherRunning = 3;  // another uninstaller still ran when the wait for it ran out
constexpr DWORD kNoWorkCopy = 4;      // the work copy could not be made or started
constexpr DWORD kStillRunning = 5;    // the wait for the work copy ran out; it goes on by itself

}  // namespace uninstall
