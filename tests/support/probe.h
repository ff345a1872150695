// Runs a test installer whose install chunk records every event in a file
// and then runs a script of the test's own (see fixtures/probe).
#pragma once

#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/testenv.h"

namespace vektest {

class Probe {
public:
    explicit Probe(const std::wstring& installer = L"probe");

    // Lua source run right after the install chunk: it may redefine events
    // and globals. probe_record(...) appends a line to the record file.
    Probe& Script(const std::string& lua);
    Probe& Args(const std::wstring& args);
    // Runs this copy of the installer instead (a folder of the test's own).
    Probe& Program(const std::wstring& exe);
    Probe& Env(const std::wstring& name, const std::wstring& value);
    Probe& Folder(const std::wstring& folder);  // the installer's current folder
    Probe& Timeout(DWORD ms);
    Probe& WhileRunning(std::function<void(DWORD pid)> fn);
    Probe& OnTrace(std::function<void(const std::wstring& line)> fn);
    // The test drives the installer window itself (see RunOptions).
    Probe& KeepWindow();

    RunResult Run();
    std::vector<std::string> Records() const;
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    RunOptions options_;
};

}  // namespace vektest
