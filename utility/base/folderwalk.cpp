#include "folderwalk.h"

#include <cwchar>

#include "utility/base/handles.h"
#include "utility/base/paths.h"

namespace vek {

bool ForEachEntry(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit) {
    WIN32_FIND_DATAW entry;
    UniqueFind search(::FindFirstFileW(JoinPath(folder, L"*.*").c_str(), &entry));
    if (!search) return false;
    do {
        if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0) visit(entry);
    } while (::FindNextFileW(search.get(), &entry));
    return true;
}

std::vector<WIN32_FIND_DATAW> FolderEntries(const std::wstring& folder) {
    std::vector<WIN32_FIND_DATAW> entries;
    ForEachEntry(folder, [&entries](const WIN32_FIND_DATAW& entry) { entries.push_back(entry); });
    return entries;
}

}  // namespace vek
