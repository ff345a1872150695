#include "product/qorstat/resolve.h"

#include <memory>

#include "product/qorstat/pinnedthread.h"

namespace qor {
namespace {

struct Lookup {
    std::string host;
    int port = 0;
    Endpoint endpoint;
    bool found = false;
    vek::UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace

bool ResolveWithin(const std::string& host, int port, DWORD budgetMs, Endpoint& out) {
    if (ResolveEndpoint(host, port, SOCK_STREAM, AI_NUMERICHOST, out)) return true;
    auto lookup = std::make_shared<Lookup>();
    if (!lookup->done) return false;
    lookup->host = host;
    lookup->port = port;
    vek::UniqueHandle thread = StartPinnedThread(reinterpret_cast<const void*>(&ResolveWithin), [lookup] {
        lookup->found = ResolveEndpoint(lookup->host, lookup->port, SOCK_STREAM, 0, lookup->endpoint);
        ::SetEvent(lookup->done.get());
    });
    if (!thread) return false;
    if (::WaitForSingleObject(lookup->done.get(), budgetMs) != WAIT_OBJECT_0 || !lookup->found) return false;
    out = lookup->endpoint;
    return true;
}

}  // namespace qor
