// Free space on a drive.
#pragma once

#include <string>

namespace vek {

// Bytes available to this user on the drive whose root is `root`
// ("C:" or "C:\"); 0 when the system cannot tell.
unsigned long long FreeBytesForUser(const std::wstring& root);

}  // namespace vek
