#include "pathtrace.h"

#include "utility/base/paths.h"
#include "utility/base/trace.h"

namespace vek {

bool ExpandPathTraced(const std::wstring& path, const wchar_t* caller, std::wstring& out) {
    if (ExpandPath(path, out)) return true;
    Trace(L"Fun:%s, Description:%s expands beyond %d characters!\r\n", caller, path.c_str(),
          static_cast<int>(kPathUnits - 1));
    return false;
}

void TraceMissingPath(const wchar_t* caller, const std::wstring& path) {
    Trace(L"Fun:%s, Description:%s it's not exists!\r\n", caller, path.c_str());
}

}  // namespace vek
