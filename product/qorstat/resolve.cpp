#include "product/qorstat/resolve.h"

#include <memory>

namespace qor {
namespace {

struct Lookup {
    std::string host;
    int port = 0;
    Endpoint endpoint;
    bool found = false;
    vek::UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

struct LookupStart {
    std::shared_ptr<Lookup> lookup;
    HMODULE self;
};

// Holds its own reference to this library: the caller may give up waiting
// and unload the library while the name service still answers.
DWORD WINAPI LookupThread(void* parameter) {
    std::unique_ptr<LookupStart> start(static_cast<LookupStart*>(parameter));
    const HMODULE self = start->self;
    {
        WinsockScope winsock;
        Lookup& lookup = *start->lookup;
        lookup.found = winsock.ok() && ResolveEndpoint(lookup.host, lookup.port, SOCK_STREAM, 0, lookup.endpoint);
        ::SetEvent(lookup.done.get());
        start.reset();
    }
    ::FreeLibraryAndExitThread(self, 0);
    return 0;
}

}  // namespace

bool ResolveWithin(const std::string& host, int port, DWORD budgetMs, Endpoint& out) {
    if (ResolveEndpoint(host, port, SOCK_STREAM, AI_NUMERICHOST, out)) return true;
    auto lookup = std::make_shared<Lookup>();
    if (!lookup->done) return false;
    lookup->host = host;
    lookup->port = port;
    auto start = std::make_unique<LookupStart>(LookupStart{lookup, PinModuleOf(reinterpret_cast<const void*>(&ResolveWithin))});
    if (!start->self) return false;
    const HMODULE self = start->self;
    vek::UniqueHandle thread(::CreateThread(nullptr, 0, LookupThread, start.get(), 0, nullptr));
    if (!thread) {
        ::FreeLibrary(self);
        return false;
    }
    start.release();  // the thread owns it now
    if (::WaitForSingleObject(lookup->done.get(), budgetMs) != WAIT_OBJECT_0 || !lookup->found) return false;
    out = lookup->endpoint;
    return true;
}

}  // namespace qor
