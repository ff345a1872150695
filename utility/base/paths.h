// Path helpers shared by the file and shell host functions.
#pragma once

#include <windows.h>

#include <string>

namespace vek {

// Paths are expanded into this many UTF-16 units, terminator included.
constexpr size_t kPathUnits = MAX_PATH;

// Environment variables expanded (ExpandEnvironmentStringsW). False, with
// `out` empty, when the result does not fit in kPathUnits.
bool ExpandPath(const std::wstring& path, std::wstring& out);

bool PathExists(const std::wstring& path);
bool IsFolder(const std::wstring& path);

// The path followed by a second terminator, as SHFileOperationW wants its
// lists of names.
std::wstring DoubleTerminated(const std::wstring& path);

// The full path of a loaded module's file (nullptr: the running program),
// and its folder with a trailing backslash.
std::wstring ModuleFilePath(HMODULE module);
std::wstring ModuleFolder(HMODULE module);

// The system folder ("C:\Windows\System32", or SysWOW64's view of it for a
// 32-bit program) and the Windows folder, without a trailing backslash.
std::wstring SystemFolder();
std::wstring WindowsFolder();

// The temporary folder (GetTempPathW) with a trailing backslash.
std::wstring TempFolder();

// `folder` and `name` joined with exactly one backslash.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// The path with its last component cut (PathRemoveFileSpecW), within
// kPathUnits.
std::wstring ParentFolder(const std::wstring& path);

// A URL as the shell sees one (PathIsURLW).
bool IsUrl(const std::wstring& text);

// Shell functions that are reached by ordinal (SHCreateDirectory 165,
// PathYetAnotherMakeUniqueName 75); looked up once.
int ShellCreateDirectory(const std::wstring& path);
bool ShellMakeUniqueName(const std::wstring& templatePath, std::wstring& unique);

}  // namespace vek
