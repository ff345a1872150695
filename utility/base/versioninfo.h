// The version resource of an executable file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vek {

// Product version as major, minor, build, revision; false when the file has
// no version resource.
bool ReadProductVersion(const std::wstring& file, std::array<uint16_t, 4>& version);

}  // namespace vek
