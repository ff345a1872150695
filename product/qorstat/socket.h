// Sockets for the statistics libraries: an owning wrapper, and Winsock
// started for the lifetime of a scope.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <string>

#include "utility/base/handles.h"

namespace qor {

struct SocketTraits {
    static SOCKET Invalid() { return INVALID_SOCKET; }
    static void Close(SOCKET s) { ::closesocket(s); }
};
using UniqueSocket = vek::UniqueResource<SOCKET, SocketTraits>;

class WinsockScope {
public:
    WinsockScope() {
        WSADATA data;
        ok_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockScope() {
        if (ok_) ::WSACleanup();
    }
    WinsockScope(const WinsockScope&) = delete;
    WinsockScope& operator=(const WinsockScope&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// A resolved address.
struct Endpoint {
    sockaddr_storage address{};
    int length = 0;
};

// The first IPv4 address of `host`, else its first address of any family.
inline bool PickEndpoint(const addrinfo* list, Endpoint& out) {
    const addrinfo* chosen = nullptr;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(out.address)) continue;
        if (!chosen || (a->ai_family == AF_INET && chosen->ai_family != AF_INET)) chosen = a;
    }
    if (!chosen) return false;
    memcpy(&out.address, chosen->ai_addr, chosen->ai_addrlen);
    out.length = static_cast<int>(chosen->ai_addrlen);
    return true;
}

// Resolves on the calling thread; may take as long as the name service does.
inline bool ResolveEndpoint(const std::string& host, int port, int socketType, int flags, Endpoint& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = socketType;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list) != 0) return false;
    const bool found = PickEndpoint(list, out);
    ::freeaddrinfo(list);
    return found;
}

// Pins the module that contains `address` for a thread of its own, which
// ends with FreeLibraryAndExitThread; null on failure.
inline HMODULE PinModuleOf(const void* address) {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCWSTR>(address), &module);
    return module;
}

}  // namespace qor
