#include "uninstallbench.h"

#include <gtest/gtest.h>

#include <sstream>

#include "product/uninstall/uninstallrun.h"
#include "utility/base/folderwalk.h"
#include "utility/base/handles.h"
#include "utility/base/textconv.h"

namespace vektest {

namespace {

std::wstring Fixture(const wchar_t* name) {
    return std::wstring(VEK_TEST_SOURCE_DIR) + L"\\fixtures\\uninstall\\" + name;
}

EventRecord ParseRecord(const std::string& line) {
    EventRecord record;
    std::istringstream fields(line);
    std::getline(fields, record.event, '\t');
    for (std::string field; std::getline(fields, field, '\t');) {
        const size_t eq = field.find('=');
        record.values[field.substr(0, eq)] = eq == std::string::npos ? "" : field.substr(eq + 1);
    }
    return record;
}

}  // namespace

UninstallBench::UninstallBench()
    : install_(dir_ / L"install"), temp_(dir_ / L"temp"), records_(dir_ / L"records.txt") {
    ::CreateDirectoryW(install_.c_str(), nullptr);
    ::CreateDirectoryW(temp_.c_str(), nullptr);
    ::CopyFileW(PayloadPath(L"Uninstall.exe").c_str(), (install_ + L"\\Uninstall.exe").c_str(), FALSE);
    chunks_[kConfigChunk] = ReadBytes(BuildPath(L"uninstall\\GLOBAL_VAR.luac"));
}

UninstallBench& UninstallBench::Extra(const std::string& lua) {
    extra_ += lua;
    return *this;
}

UninstallBench& UninstallBench::Chunk(const std::wstring& name, std::optional<std::string> bytes) {
    chunks_[name] = std::move(bytes);
    return *this;
}

UninstallBench& UninstallBench::StartIn(const std::wstring& folder) {
    startFolder_ = folder;
    return *this;
}

std::string UninstallBench::RecorderChunk() const {
    return "VEK_RECORD = " + LuaQuote(records_) + "\n" + ReadBytes(Fixture(L"recorder.lua")) + extra_;
}

void UninstallBench::WriteChunks() const {
    std::map<std::wstring, std::optional<std::string>> chunks = chunks_;
    if (!chunks.count(kUninstallChunk)) chunks[kUninstallChunk] = RecorderChunk();
    for (const auto& [name, bytes] : chunks) {
        const std::wstring path = install_ + L"\\" + name;
        ::DeleteFileW(path.c_str());
        if (bytes) WriteBytes(path, *bytes);
    }
}

RunResult UninstallBench::Run(const std::wstring& args, std::function<void(DWORD)> workCopy, DWORD timeoutMs) {
    WriteChunks();
    RunOptions options;
    options.exe = install_ + L"\\Uninstall.exe";
    options.args = args;
    options.env = {{L"TEMP", temp_}, {L"TMP", temp_}};
    options.timeoutMs = timeoutMs;
    options.folder = startFolder_;
    DWORD copy = 0;
    options.whileRunning = [&copy, workCopy](DWORD pid) {
        copy = WaitForChildProcess(pid, L"Uninstall.exe", 20000);
        if (workCopy) workCopy(copy);
    };
    RunResult run = RunTraced(options);
    // A work copy left behind (it waits in a box nobody answers) would hold
    // the guard and fail the tests after this one too.
    if (run.timedOut && copy) {
        vek::UniqueHandle left(::OpenProcess(PROCESS_TERMINATE, FALSE, copy));
        if (left) ::TerminateProcess(left.get(), 0xDEAD);
    }
    return run;
}

std::vector<EventRecord> UninstallBench::Records() const {
    std::vector<EventRecord> records;
    for (const std::string& line : ReadLines(records_)) records.push_back(ParseRecord(line));
    return records;
}

std::vector<std::string> UninstallBench::Events() const {
    std::vector<std::string> events;
    for (const EventRecord& record : Records()) events.push_back(record.event);
    return events;
}

std::wstring UninstallBench::Log() const {
    std::wstring log;
    vek::ForEachEntry(temp_, [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring name = entry.cFileName;
        if (name.rfind(L"TovikUninstall_", 0) == 0) log += vek::ThreadAnsiToWide(ReadBytes(temp_ + L"\\" + name));
    });
    return log;
}

std::map<std::string, std::string> DefaultGlobals(const UninstallBench& bench) {
    return {
        {"global_install_path", Utf8(bench.install()) + ":string"},
        {"ClearUserData", "false:boolean"},
        {"ChkUserSetting", "false:boolean"},
        {"ReasonID", "nil:nil"},
        {"tbSuggest", "nil:nil"},
        {"tbContact", "nil:nil"},
        {"_UninstallLib", "nil:nil"},
    };
}

void ExpectGlobals(const UninstallBench& bench, const std::map<std::string, std::string>& changed) {
    std::map<std::string, std::string> expected = DefaultGlobals(bench);
    for (const auto& [name, value] : changed) expected[name] = value;
    for (const EventRecord& record : bench.Records()) {
        std::map<std::string, std::string> seen = record.values;
        seen.erase("module");
        seen.erase("_Uninstall_Path");
        EXPECT_EQ(seen, expected) << record.event;
    }
}

}  // namespace vektest
