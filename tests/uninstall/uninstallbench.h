// Runs the built Uninstall.exe from a fake install folder of the test's own.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/testenv.h"

namespace vektest {

// One event as the recorder chunk saw it: the running program ("module")
// and each global the uninstaller sets, as "<value>:<type>" ("nil:nil"
// when unset).
struct EventRecord {
    std::string event;
    std::map<std::string, std::string> values;
};

// The install folder holds a copy of the built Uninstall.exe, the shipped
// configuration compiled as Uninst.dar0 and the recorder chunk
// (fixtures/uninstall/recorder.lua) as Uninst.dar1. The run has a
// temporary folder of its own (TEMP, TMP): its work copy and log go there.
class UninstallBench {
public:
    UninstallBench();

    // Lua appended to the recorder chunk: it may redefine the handlers and
    // call record(line) or record_event(name).
    UninstallBench& Extra(const std::string& lua);
    // Makes the chunk file `name` these bytes (instead of the usual ones),
    // or leaves it out.
    UninstallBench& Chunk(const std::wstring& name, std::optional<std::string> bytes);

    // The current folder Uninstall.exe starts in (default: the test's).
    UninstallBench& StartIn(const std::wstring& folder);

    // Runs Uninstall.exe from the install folder. `workCopy` runs on a side
    // thread with the id of the work copy once it exists (0 when none
    // appeared).
    RunResult Run(const std::wstring& args, std::function<void(DWORD workCopyPid)> workCopy = {},
                  DWORD timeoutMs = 30000);

    std::vector<EventRecord> Records() const;
    std::vector<std::string> Events() const;
    // The diagnostic log that the program and its work copy write.
    std::wstring Log() const;
    // What the recorder chunk would be: VEK_RECORD, the fixture, the extra.
    std::string RecorderChunk() const;

    const std::wstring& install() const { return install_; }
    const std::wstring& temp() const { return temp_; }

private:
    void WriteChunks() const;

    TempDir dir_;
    std::wstring install_;
    std::wstring temp_;
    std::wstring records_;
    std::string extra_;
    std::wstring startFolder_;
    std::map<std::wstring, std::optional<std::string>> chunks_;
};

// Each global as the events should see it when nothing else is said.
std::map<std::string, std::string> DefaultGlobals(const UninstallBench& bench);
// Every event saw the default globals with `changed` over them (the module
// path and _Uninstall_Path aside).
void ExpectGlobals(const UninstallBench& bench, const std::map<std::string, std::string>& changed);

}  // namespace vektest
