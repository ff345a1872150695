// The entries of one folder, as the system's search gives them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vek {

// Calls `visit` for each entry of `folder` ("." and ".." left out), in the
// order of the search; `visit` may delete the entry it is given. False when
// the folder cannot be searched.
bool ForEachEntry(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit);

// The same entries, collected.
std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder);

inline bool IsFolderEntry(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A junction, a symbolic link or another reparse point: never followed.
inline bool IsLinkEntry(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace vek
