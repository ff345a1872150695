#include "tests/support/statserver.h"

#include <sstream>

#include "tests/support/testenv.h"

namespace vektest {
namespace {

std::wstring ServerFile(const wchar_t* name) { return std::wstring(VEK_STAT_SERVER_DIR) + L"\\" + name; }

std::string FromHex(const std::string& hex) {
    if (hex == "-") return {};
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

StatRecord Parse(const std::string& line) {
    std::istringstream in(line);
    StatRecord r;
    std::string payload, contentType, body;
    in >> r.proto >> r.port >> r.arrival;
    if (r.proto == "udp") {
        in >> payload;
        r.payload = FromHex(payload);
    } else {
        in >> r.kind >> r.method >> r.path >> contentType >> body;
        r.contentType = FromHex(contentType);
        r.body = FromHex(body);
    }
    return r;
}

}  // namespace

StatServer::StatServer() {
    for (const std::string& line : ReadLines(ServerFile(L"ports.txt"))) {
        std::istringstream in(line);
        std::string name;
        int port = 0;
        if (in >> name >> port) ports_.emplace_back(name, port);
    }
}

int StatServer::Port(const std::string& name) const {
    for (const auto& p : ports_) {
        if (p.first == name) return p.second;
    }
    return 0;
}

// Complete lines only: the server may be writing the last one.
std::vector<std::string> StatServer::Lines() const {
    const std::string bytes = ReadBytes(ServerFile(L"records.txt"));
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = bytes.find('\n', begin)) != std::string::npos; begin = end + 1) {
        lines.push_back(bytes.substr(begin, end - begin));
    }
    return lines;
}

size_t StatServer::Mark() const { return Lines().size(); }

std::vector<StatRecord> StatServer::Since(size_t mark) const {
    std::vector<StatRecord> records;
    const std::vector<std::string> lines = Lines();
    for (size_t i = mark; i < lines.size(); ++i) records.push_back(Parse(lines[i]));
    return records;
}

std::vector<StatRecord> StatServer::WaitFor(size_t mark, size_t count, DWORD timeoutMs) const {
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<StatRecord> records = Since(mark);
        if (records.size() >= count || ::GetTickCount64() >= end) return records;
        ::Sleep(20);
    }
}

std::vector<StatRecord> StatServer::On(const std::vector<StatRecord>& records, int port) {
    std::vector<StatRecord> on;
    for (const StatRecord& r : records) {
        if (r.port == port) on.push_back(r);
    }
    return on;
}

}  // namespace vektest
