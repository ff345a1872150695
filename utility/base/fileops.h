// File operations of the installer: shell copies, moves and deletions,
// renames, deletion at reboot, temporary names, folders and module paths.
// Paths come expanded; a path that does not exist is "nothing to delete".
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "utility/base/filetree.h"
#include "utility/base/status.h"

namespace vek {

// Creates `folder` with every missing parent (SHCreateDirectory); ok when it
// exists afterwards ("Create Directory <folder>!" when it was made).
Status MakeFolder(const std::wstring& folder);

// Shell copy (silent, no confirmations) and shell move (the same, without
// the shell's error messages) of a file or folder, traced "Copy/Move <from>
// to <to> !" or "... failed!" with the shell's result code, which a failed
// Status carries.
Status CopyPath(const std::wstring& from, const std::wstring& to);
Status MovePath(const std::wstring& from, const std::wstring& to);

// MoveFileExW replacing an existing target, traced "MoveFile <from> to <to> !"
// or "... failed!".
Status RenamePath(const std::wstring& from, const std::wstring& to);

// Shell deletion of a file or folder tree; on failure a box asks the user to
// close what holds it: Retry deletes again (true whatever that gives),
// Ignore gives true with a trace, Abort ends the process with code 0, a box
// that cannot be shown false. A missing path is true.
bool DeleteWithRetryBox(const std::wstring& path);

// The same shell deletion without any dialog; the shell's result code on failure.
Status DeleteQuietly(const std::wstring& path);

// Deletes a file (DeleteFileW, no attribute change), or a folder tree file by
// file (DeleteDirectories, or DeleteDirectoriesEx when `onFailure` is given),
// traced "PathIsDirectoryW" or "Path is file!". A file that stays is
// reported to `onFailure`. False when there was nothing to delete.
bool DeleteFileOrTree(const std::wstring& path, const DeleteFailure* onFailure);

// Registers `path` for deletion at the next system start; ok for a missing path.
Status DeleteAfterReboot(const std::wstring& path);

// Registers every file directly in `folder`, then the folder itself, for
// deletion at the next system start: the folder goes only once it is empty,
// so its files are named first. Links are registered as themselves.
void DeleteFolderAfterReboot(const std::wstring& folder);

// Creates a folder "<parent><prefix><16 random hex digits>" that did not
// exist before: a name that is taken (by a folder, a file or a link) is
// never used, another random one is tried. Nothing when none could be made.
std::optional<std::wstring> MakeFreshFolder(const std::wstring& parent, const std::wstring& prefix);

// Reads the whole file at `path` if it holds at most `limit` bytes. Fails
// with ERROR_FILE_TOO_LARGE above it, and with ERROR_CANT_ACCESS_FILE for a
// link, which is not followed; otherwise with the system's error.
Status ReadFileLimited(const std::wstring& path, unsigned long long limit, std::string* bytes);

// GetTempFileNameW in `folder` with `prefix`: creates the empty file and
// gives its path; nothing when the system fails.
std::optional<std::wstring> MakeTempFile(const std::wstring& folder, const std::wstring& prefix);

// What the scripts take as their temporary folder: the user's local
// application-data folder, asked for only when the temporary folder can be
// read; each failure traced, the buffer's text as it is then.
std::wstring ScriptTempFolder();

// The path of the loaded module `name` (none, or one not loaded: the running
// program), within kPathUnits.
std::wstring LoadedModulePath(const std::optional<std::wstring>& name);

}  // namespace vek
