// What the loopback statistics server (statserver.py) has received, read
// back from its record file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vektest {

struct StatRecord {
    std::string proto;  // "udp" or "http"
    int port = 0;
    double arrival = 0;  // seconds since 1970, the server's clock
    std::string payload;  // udp: the datagram
    std::string kind, method, path, contentType, body;  // http
};

class StatServer {
public:
    StatServer();  // reads the ports the server listens on
    int Port(const std::string& name) const;  // "udp_dispatch", "http_ok", ...
    size_t Mark() const;                      // records so far
    std::vector<StatRecord> Since(size_t mark) const;
    // Records after `mark`, once at least `count` are there or `timeoutMs` passed.
    std::vector<StatRecord> WaitFor(size_t mark, size_t count, DWORD timeoutMs) const;
    // Only those that arrived on `port`.
    static std::vector<StatRecord> On(const std::vector<StatRecord>& records, int port);

private:
    std::vector<std::string> Lines() const;
    std::vector<std::pair<std::string, int>> ports_;
};

}  // namespace vektest
