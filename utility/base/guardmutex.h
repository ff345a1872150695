// Named mutexes that keep a second instance of a program out. The programs
// run elevated: the guard grants full access to Administrators and SYSTEM
// only, so a process that cannot open it cannot take it over either, and it
// is never inherited by the programs they start.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "utility/base/handles.h"

namespace vek {

// CreateMutexW of `name` with that access, not owned; `error` receives the
// last error of the call (ERROR_ALREADY_EXISTS when it opened an existing one).
UniqueHandle CreateGuardMutex(const std::wstring& name, DWORD* error);

// What CreateMutexW's result and last error say: true when the guard
// belongs to another instance. A guard that exists but is not ours to open
// belongs to another all the same; any other failure counts as no guard.
bool HeldByAnotherInstance(bool created, DWORD error);

enum class GuardWait {
    Owned,        // this thread owns the guard (also when its last owner ended without releasing it)
    TimedOut,     // another still held it when the wait ran out
    Unavailable,  // the guard exists but cannot be opened, or cannot be made at all
};

// Owns the guard `name` on this thread, waiting at most `waitMs` for another
// owner to let go. `busy` runs once, before the wait, when the guard is held.
// The owned mutex is handed out in `mutex`; ReleaseMutex before closing it.
GuardWait OwnGuardMutex(const std::wstring& name, DWORD waitMs, UniqueHandle* mutex,
                        const std::function<void()>& busy = {});

}  // namespace vek
