// Uninstall.exe started from the install folder: a program cannot delete the
// folder it runs from, so it copies itself into a fresh folder under the
// temporary folder and lets the copy do the work.
#pragma once

#include <windows.h>

#include "product/uninstall/arguments.h"

// Makes the work copy, runs it with `arguments` and the install folder (this
// program's own folder), waits for it and returns its exit code.
DWORD RunLauncher(const UninstallArguments& arguments);
