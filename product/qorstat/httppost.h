// A plain HTTP/1.1 POST over Winsock, bounded in time from the lookup of
// the server to the answer's status line.
#pragma once

#include <windows.h>

#include <string>

namespace qor {

struct HttpUrl {
    std::string host;
    int port = 80;
    std::string path = "/";
};

// "http://host[:port][/path]"; false for other schemes and for text that
// would not make a clean request line (spaces, control characters).
bool ParseHttpUrl(const std::string& url, HttpUrl& out);

struct HttpTarget {
    HttpUrl url;
    std::string proxyHost;  // empty: straight to the server
    int proxyPort = 0;
};

// The server's status code; 0 when the request was sent and `waitAnswer` is
// false; -1 when it failed or the budget ran out first.
int HttpPost(const HttpTarget& target, const std::string& body, bool waitAnswer, DWORD budgetMs);

}  // namespace qor
