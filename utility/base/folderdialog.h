// The system's folder picker (the file-open dialog in folder mode) and the
// folders it falls back to.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace vek {

enum class FolderPick { Picked, Cancelled, Unavailable };

// Shows the folder picker owned by `owner`, opened at `start`. The picked
// folder's file-system path goes to `picked`.
FolderPick PickFolder(HWND owner, const std::wstring& start, std::wstring* picked);

// The program files folder of this process's view (empty when unknown).
std::wstring ProgramFilesFolder();

}  // namespace vek
