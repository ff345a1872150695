#include "diskspace.h"

#include <windows.h>

namespace vek {

unsigned long long FreeBytesForUser(const std::wstring& root) {
    ULARGE_INTEGER available = {};
    if (!::GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr)) return 0;
    return available.QuadPart;
}

}  // namespace vek
