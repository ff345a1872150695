// Deleting a folder tree file by file.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace vek {

// Called for each file that could not be deleted, with its full path and the
// system error code.
using DeleteFailure = std::function<void(const std::wstring& path, DWORD error)>;

// Deletes every file below `folder` (read-only ones included), each
// subfolder as soon as it is met, then `folder` itself. Traces "<traceName>
// <folder>" for every folder. Folders that stay (a file in them could not be
// deleted) are not reported. When the process's current folder is `folder`,
// it moves to the parent first. A search pattern of kPathUnits or more ends
// the operation for that folder, with a trace, before anything is deleted.
// Junctions and symbolic links are never followed: a link is removed as
// itself (the top folder too), and what it points at stays.
void DeleteFolderTree(const std::wstring& folder, const wchar_t* traceName, const DeleteFailure& onFailure);

// The recursive deletions of the scripts: every file, then the folders; the
// Ex form reports each file that stays.
void DeleteDirectories(const std::wstring& folder);
void DeleteDirectoriesEx(const std::wstring& folder, const DeleteFailure& onFailure);

}  // namespace vek
