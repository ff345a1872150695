#include "product/udp_qor/udp_qor.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "product/qorstat/deadline.h"
#include "product/qorstat/pinnedthread.h"

namespace {

constexpr int kLargestDatagram = 1400;

struct Datagram {
    std::string host;
    int port = 0;
    std::string bytes;  // empty: resolve only
};

class Sender {
public:
    // Beyond the bound the newest datagram is refused: those already queued
    // are the older reports, and memory stays bounded without a network.
    bool Queue(Datagram datagram) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || queue_.size() >= static_cast<size_t>(kUdpQorMostQueued)) return false;
        queue_.push_back(std::move(datagram));
        changed_.notify_all();
        return true;
    }

    // Until nothing is queued or being sent, or `ms` has passed.
    void Drain(DWORD ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return queue_.empty() && !busy_; });
    }

    // Once this returns nothing more leaves: it waits for a datagram being
    // sent, and the sender looks at the flag under the same lock before each
    // send (a name lookup that ends later finds it set).
    void RequestStop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            queue_.clear();
            changed_.notify_all();
        }
        std::lock_guard<std::mutex> sending(sendMutex_);
    }

    // The sender thread's work.
    void Run() {
        Datagram next;
        while (Take(next)) {
            const qor::Endpoint* to = Resolve(next.host, next.port);
            if (to && !next.bytes.empty()) SendUnlessStopping(*to, next.bytes);
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = false;
            changed_.notify_all();
        }
    }

private:
    bool Take(Datagram& next) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return false;
        next = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        return true;
    }

    bool Stopping() {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopping_;
    }

    // Servers are resolved once for the sender's life; a failed name is
    // asked again next time.
    const qor::Endpoint* Resolve(const std::string& host, int port) {
        const std::string key = host + ":" + std::to_string(port);
        auto found = resolved_.find(key);
        if (found != resolved_.end()) return &found->second;
        qor::Endpoint endpoint;
        if (!qor::ResolveEndpoint(host, port, SOCK_DGRAM, 0, endpoint)) return nullptr;
        return &resolved_.emplace(key, endpoint).first->second;
    }

    // The queue stays open meanwhile: only a stop waits for the send.
    void SendUnlessStopping(const qor::Endpoint& to, const std::string& bytes) {
        std::lock_guard<std::mutex> sending(sendMutex_);
        if (!Stopping()) Send(to, bytes);
    }

    void Send(const qor::Endpoint& to, const std::string& bytes) {
        qor::UniqueSocket& s = to.address.ss_family == AF_INET6 ? socket6_ : socket4_;
        if (!s) s.reset(::socket(to.address.ss_family, SOCK_DGRAM, IPPROTO_UDP));
        if (!s) return;
        ::sendto(s.get(), bytes.data(), static_cast<int>(bytes.size()), 0,
                 reinterpret_cast<const sockaddr*>(&to.address), to.length);
    }

    std::mutex mutex_;
    std::mutex sendMutex_;  // held across each send; taken before mutex_
    std::condition_variable changed_;
    std::deque<Datagram> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    // Used by the sender thread alone.
    std::map<std::string, qor::Endpoint> resolved_;
    qor::UniqueSocket socket4_;
    qor::UniqueSocket socket6_;
};

std::mutex g_lock;
std::shared_ptr<Sender> g_sender;
vek::UniqueHandle g_thread;

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI udp_qor_start(void) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_sender) return TRUE;
    auto sender = std::make_shared<Sender>();
    vek::UniqueHandle thread =
        qor::StartPinnedThread(reinterpret_cast<const void*>(&udp_qor_start), [sender] { sender->Run(); });
    if (!thread) return FALSE;
    g_sender = std::move(sender);
    g_thread = std::move(thread);
    return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI udp_qor_send(const char* host, int port, const char* data, int length) {
    if (!host || !*host || port <= 0 || port > 65535 || length < 0 || length > kLargestDatagram) return FALSE;
    if (length > 0 && !data) return FALSE;
    std::lock_guard<std::mutex> lock(g_lock);
    if (!g_sender) return FALSE;
    return g_sender->Queue(Datagram{host, port, std::string(data ? data : "", static_cast<size_t>(length))});
}

extern "C" __declspec(dllexport) void WINAPI udp_qor_stop(int waitMs) {
    std::shared_ptr<Sender> sender;
    vek::UniqueHandle thread;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        sender = std::move(g_sender);
        thread = std::move(g_thread);
    }
    if (!sender) return;
    const qor::Deadline deadline(waitMs > 0 ? static_cast<DWORD>(waitMs) : 0);
    sender->Drain(deadline.Remaining());
    sender->RequestStop();
    ::WaitForSingleObject(thread.get(), deadline.Remaining());
}
