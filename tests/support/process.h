// Running the real programs under test: under a debugger that collects their
// debug trace, or plainly as helpers.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "utility/base/handles.h"

namespace vektest {

struct RunOptions {
    std::wstring exe;
    std::wstring args;  // appended to the quoted program path
    std::vector<std::pair<std::wstring, std::wstring>> env;  // added or replaced
    std::wstring folder;  // current folder of the process; empty: the test's
    DWORD timeoutMs = 30000;  // INFINITE: no limit
    // Runs on a separate thread once the process exists (dialogs, second
    // instances); joined before RunTraced returns.
    std::function<void(DWORD pid)> whileRunning;
    // An interactive installer shows its window and waits for a person:
    // closed (WM_CLOSE, as the system's close) as soon as it exists,
    // unless the test drives the window itself.
    bool closeInstallerWindow = true;
    // Called for each trace as it arrives (on the debugger's thread; the
    // program waits meanwhile: keep it short).
    std::function<void(const std::wstring&)> onTrace;
};

struct RunResult {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::vector<std::wstring> traces;  // every OutputDebugString, in order

    bool HasTrace(const std::wstring& text) const;
    // Index of the first trace equal to `text`, or -1.
    int IndexOf(const std::wstring& text) const;
    std::wstring Joined() const;  // for failure messages
};

// Starts `options.exe` as a debuggee and runs it to its end (killing it after
// the timeout).
RunResult RunTraced(const RunOptions& options);

// A helper process started without a debugger.
struct Started {
    vek::UniqueHandle process;
    DWORD pid = 0;
};
Started StartProcess(const std::wstring& exe, const std::wstring& args,
                     const std::vector<std::pair<std::wstring, std::wstring>>& env = {});
// The first process named `exeName` (ignoring case) that `parentPid` started,
// polled for (no event announces it) up to `timeoutMs` or until the parent
// ends; 0 when none appeared.
DWORD WaitForChildProcess(DWORD parentPid, const std::wstring& exeName, DWORD timeoutMs);

// Waits for the end of the process; returns its exit code, or STILL_ACTIVE.
DWORD WaitExit(HANDLE process, DWORD timeoutMs);

}  // namespace vektest
