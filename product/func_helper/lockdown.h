// The install folder made safe for a service that runs from it as
// LocalSystem, whatever its parent lets users do.
#pragma once

namespace funchelper {

// Owner Administrators and a protected DACL (Administrators and SYSTEM full
// control, Users read and execute, inherited by everything below) on the
// folder; the same entries, as inherited ones, on everything already inside
// it. Links are never followed. False, with the first error as last error,
// when anything was left as it was.
bool LockDownFolder(const wchar_t* path);

}  // namespace funchelper
