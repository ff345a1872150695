// Machine state the tests read back: pending reboot operations, the log.
#pragma once

#include <string>
#include <vector>

namespace vektest {

// Paths registered for deletion at the next reboot (MOVEFILE_DELAY_UNTIL_REBOOT).
std::vector<std::wstring> PendingDeletions();
bool IsPendingDeletion(const std::wstring& path);
void ClearPendingRenames();

// The installer's dated log of today in the temporary folder.
std::wstring TodaysLogPath();

}  // namespace vektest
