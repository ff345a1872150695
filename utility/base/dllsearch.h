// Library loading for a program that runs elevated from a folder others can
// write to (Downloads): nothing is loaded from beside the program or from the
// current folder by accident.
#pragma once

#include <windows.h>

#include <string>

namespace vek {

// Restricts the default library search of the process to the system folder
// (SetDefaultDllDirectories where the system has it; elsewhere the current
// folder at least leaves the search). Called before any other initialiser.
bool RestrictDllSearchToSystem();

// A system library, loaded by its full path in the system folder.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A library given by full path; its own imports resolve from its folder and
// the system folder only.
HMODULE LoadLibraryBeside(const std::wstring& fullPath);

}  // namespace vek
