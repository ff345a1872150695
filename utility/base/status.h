// The outcome of a native operation with the system's error beside it, so a
// caller can trace or test the real reason and not just "failed".
#pragma once

#include <windows.h>

namespace vek {

struct Status {
    bool ok = true;
    DWORD error = ERROR_SUCCESS;

    static Status Success() { return {}; }
    static Status Failure(DWORD error) { return {false, error}; }
    // Done, because what was to be deleted or stopped is not there; `error`
    // says so (ERROR_FILE_NOT_FOUND, ERROR_SERVICE_DOES_NOT_EXIST).
    static Status Gone(DWORD error) { return {true, error}; }
    // The calling thread's last error; read at once, before anything can change it.
    static Status LastError() { return Failure(::GetLastError()); }
    // A registry result (LSTATUS) or another Win32 code: ok when it is ERROR_SUCCESS.
    static Status FromCode(LONG code) { return {code == ERROR_SUCCESS, static_cast<DWORD>(code)}; }
    // True from a Win32 call that reports failure through the last error.
    static Status FromBool(BOOL done) { return done ? Success() : LastError(); }

    // What was asked for was not there (Gone, or a failure for that reason).
    bool NotFound() const {
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_SERVICE_DOES_NOT_EXIST;
    }
    explicit operator bool() const { return ok; }
};

}  // namespace vek
