#include "product/qorstat/httppost.h"

#include <cctype>
#include <cstdlib>

#include "product/qorstat/deadline.h"
#include "product/qorstat/resolve.h"
#include "product/qorstat/socket.h"

namespace qor {
namespace {

bool CleanText(const std::string& text) {
    for (unsigned char c : text) {
        if (c <= 0x20 || c == 0x7f) return false;
    }
    return true;
}

// Waits until `s` is readable (or writable); false when the time is up.
bool WaitReady(SOCKET s, bool forWrite, const Deadline& deadline) {
    const DWORD remaining = deadline.Remaining();
    if (remaining == 0) return false;
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval timeout{static_cast<long>(remaining / 1000), static_cast<long>(remaining % 1000) * 1000};
    const int count = ::select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &timeout);
    return count > 0 && FD_ISSET(s, &ready);
}

bool Connect(SOCKET s, const Endpoint& to, const Deadline& deadline) {
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to.address), to.length) == 0) return true;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    if (!WaitReady(s, true, deadline)) return false;
    int error = 0;
    int length = sizeof(error);
    ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
    return error == 0;
}

bool SendAll(SOCKET s, const std::string& bytes, const Deadline& deadline) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = ::send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (::WSAGetLastError() != WSAEWOULDBLOCK || !WaitReady(s, true, deadline)) {
            return false;
        }
    }
    return true;
}

// "HTTP/<version> <three digits>" followed by a space or the line's end;
// -1 for anything else, a longer or shorter code included.
int StatusCode(const std::string& head) {
    const size_t end = head.find("\r\n");
    if (end == std::string::npos || head.compare(0, 5, "HTTP/") != 0) return -1;
    const std::string line = head.substr(0, end);
    const size_t space = line.find(' ');
    if (space == std::string::npos || space < 6 || line.size() < space + 4) return -1;
    int code = 0;
    for (size_t i = space + 1; i < space + 4; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return -1;
        code = code * 10 + (line[i] - '0');
    }
    return line.size() == space + 4 || line[space + 4] == ' ' ? code : -1;
}

// Reads up to the end of the status line and returns its code, or -1.
int ReadStatus(SOCKET s, const Deadline& deadline) {
    std::string head;
    while (head.find("\r\n") == std::string::npos && head.size() < 4096) {
        if (!WaitReady(s, false, deadline)) return -1;
        char chunk[512];
        const int n = ::recv(s, chunk, sizeof(chunk), 0);
        if (n > 0) {
            head.append(chunk, static_cast<size_t>(n));
        } else if (n == 0 || ::WSAGetLastError() != WSAEWOULDBLOCK) {
            break;
        }
    }
    return StatusCode(head);
}

std::string HostHeader(const HttpUrl& url) {
    const bool literal6 = url.host.find(':') != std::string::npos;
    std::string host = literal6 ? "[" + url.host + "]" : url.host;
    return url.port == 80 ? host : host + ":" + std::to_string(url.port);
}

std::string Request(const HttpTarget& target, const std::string& body) {
    const std::string where = HostHeader(target.url);
    const std::string requestTarget = target.proxyHost.empty() ? target.url.path : "http://" + where + target.url.path;
    return "POST " + requestTarget + " HTTP/1.1\r\nHost: " + where +
           "\r\nUser-Agent: qorstat/1.0\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

}  // namespace

bool ParseHttpUrl(const std::string& url, HttpUrl& out) {
    static const char kScheme[] = "http://";
    if (url.size() <= 7 || _strnicmp(url.c_str(), kScheme, 7) != 0 || !CleanText(url)) return false;
    const size_t slash = url.find('/', 7);
    std::string authority = url.substr(7, slash == std::string::npos ? std::string::npos : slash - 7);
    out.path = slash == std::string::npos ? "/" : url.substr(slash);
    if (authority.find('@') != std::string::npos) return false;  // no credentials in statistics addresses
    std::string port;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos) return false;
        out.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') return false;
            port = authority.substr(close + 2);
        }
    } else {
        const size_t colon = authority.find(':');
        out.host = authority.substr(0, colon);
        if (colon != std::string::npos) port = authority.substr(colon + 1);
    }
    out.port = 80;
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
        out.port = std::atoi(port.c_str());
    }
    return !out.host.empty() && out.port > 0 && out.port <= 65535;
}

int HttpPost(const HttpTarget& target, const std::string& body, bool waitAnswer, DWORD budgetMs) {
    const Deadline deadline(budgetMs);
    WinsockScope winsock;
    if (!winsock.ok()) return -1;
    const bool viaProxy = !target.proxyHost.empty();
    Endpoint server;
    if (!ResolveWithin(viaProxy ? target.proxyHost : target.url.host, viaProxy ? target.proxyPort : target.url.port,
                       deadline.Remaining(), server)) {
        return -1;
    }
    UniqueSocket s(::socket(server.address.ss_family, SOCK_STREAM, IPPROTO_TCP));
    if (!s || !Connect(s.get(), server, deadline) || !SendAll(s.get(), Request(target, body), deadline)) return -1;
    if (!waitAnswer) return 0;
    return ReadStatus(s.get(), deadline);
}

}  // namespace qor
