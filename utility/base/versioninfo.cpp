#include "utility/base/versioninfo.h"

#include <windows.h>

#include <vector>

namespace vek {

bool ReadProductVersion(const std::wstring& file, std::array<uint16_t, 4>& version) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    version = {HIWORD(info->dwProductVersionMS), LOWORD(info->dwProductVersionMS),
               HIWORD(info->dwProductVersionLS), LOWORD(info->dwProductVersionLS)};
    return true;
}

}  // namespace vek
