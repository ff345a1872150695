// What the scripts ask about the system and the installer's own command
// line, and the shutdown.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vek {

// The low byte of GetVersion: the major version as the system reports it to
// this program (no supported-OS list: 6 on Windows 8 and later).
unsigned OsMajorVersion();

// True for a 32-bit process on 64-bit Windows (IsWow64Process, looked up at
// run time; false where the system lacks it).
bool IsWow64();

// The process command line split by CommandLineToArgvW; nothing when it
// gives no element.
std::optional<std::vector<std::wstring>> CommandLineArguments();

// "%ProgramFiles%\" expanded, or the same folder on a later fixed drive
// (in drive order, the first fixed drive skipped) where it exists there.
std::wstring DriverInstallPath();

// ExitWindowsEx with the shutdown privilege enabled first (its result
// ignored).
bool EndSession(UINT flags, DWORD reason);

// Milliseconds since this process was created (its creation time against
// the system clock): what start-up measurements report.
double MillisecondsSinceProcessStart();

}  // namespace vek
