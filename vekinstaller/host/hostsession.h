// What every program that hosts the script engine does first and last: the
// diagnostic log with the engine's log lines going to it, the named chunks,
// COM for the entry thread, and one clean-up path that runs on every way
// out of the program (a return from the entry point, a script's os.exit, a
// failed check on the way).
#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <windows.h>

class CHostSession {
public:
    // Deletes <temp folder>\<logName> and opens the diagnostic log there
    // (the log writes a dated file beside that name).
    explicit CHostSession(const wchar_t* logName);
    // The clean-up path, unless the program's exit has run it already.
    ~CHostSession();
    CHostSession(const CHostSession&) = delete;
    CHostSession& operator=(const CHostSession&) = delete;

    // Runs the "LUA" resources of the program in order; the first that
    // fails ends it with the trace "DoResLua failed, <name>".
    bool RunChunks(std::initializer_list<const wchar_t*> names);
    // Runs chunk files (compiled or source) in order, each read whole when
    // it holds at most `sizeLimit` bytes; the first that is missing, too
    // large, unreadable or failing ends it, with the reason in the log.
    bool RunChunkFiles(std::initializer_list<std::wstring> paths, unsigned long long sizeLimit);

    // One line to the debug trace and the diagnostic log, which names the
    // caller's place.
    static void Report(const std::wstring& text, const char* file = __builtin_FILE(),
                       const char* function = __builtin_FUNCTION(), int line = __builtin_LINE());

    // COM on this thread until the clean-up.
    void StartCom();
    // Work for the clean-up, run in the reverse order of adding.
    void AtCleanup(std::function<void()> work);

    // The undated log path ("<temp folder>\<logName>").
    const std::wstring& LogBasePath() const { return logBasePath_; }

private:
    static void CleanupAtExit();
    void Cleanup();

    std::wstring logBasePath_;
    std::vector<std::function<void()>> cleanups_;
    DWORD comThread_ = 0;
    std::atomic<bool> cleanedUp_{false};
};
