#include "probe.h"

namespace vektest {

Probe::Probe(const std::wstring& installer) {
    options_.exe = InstallerPath(installer);
    options_.env.push_back({L"VEK_PROBE_OUT", dir_ / L"records.txt"});
}

Probe& Probe::Script(const std::string& lua) {
    const std::wstring path = dir_ / L"probe-script.lua";
    WriteBytes(path, lua);
    options_.env.push_back({L"VEK_PROBE_SCRIPT", path});
    return *this;
}

Probe& Probe::Args(const std::wstring& args) {
    options_.args = args;
    return *this;
}

Probe& Probe::Program(const std::wstring& exe) {
    options_.exe = exe;
    return *this;
}

Probe& Probe::Env(const std::wstring& name, const std::wstring& value) {
    options_.env.push_back({name, value});
    return *this;
}

Probe& Probe::Timeout(DWORD ms) {
    options_.timeoutMs = ms;
    return *this;
}

Probe& Probe::WhileRunning(std::function<void(DWORD pid)> fn) {
    options_.whileRunning = std::move(fn);
    return *this;
}

Probe& Probe::OnTrace(std::function<void(const std::wstring& line)> fn) {
    options_.onTrace = std::move(fn);
    return *this;
}

Probe& Probe::Folder(const std::wstring& folder) {
    options_.folder = folder;
    return *this;
}

Probe& Probe::KeepWindow() {
    options_.closeInstallerWindow = false;
    return *this;
}

RunResult Probe::Run() { return RunTraced(options_); }

std::vector<std::string> Probe::Records() const { return ReadLines(dir_ / L"records.txt"); }

}  // namespace vektest
