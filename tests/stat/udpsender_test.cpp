// udp_qor.dll's sender with its name lookups and sends redirected: the test
// holds the sender's thread inside one of them while it acts, and sees every
// datagram the sender hands to the network, and when.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "product/udp_qor/udp_qor.h"
#include "tests/support/importhook.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"

using namespace vektest;
using namespace std::chrono_literals;

namespace {

enum class Hold { Lookup, Send };

// What the replacements below see; they run on the sender's thread.
struct SenderCalls {
    Hold hold = Hold::Lookup;
    std::atomic<bool> held{false};  // the hold happens once
    vek::UniqueHandle entered{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    vek::UniqueHandle release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::once_flag threadNoted;
    vek::UniqueHandle thread;  // the sender's thread
    decltype(&::getaddrinfo) realLookup = nullptr;
    std::atomic<bool> stopReturned{false};
    std::mutex lock;
    std::vector<std::string> sent;
    int sentAfterStop = 0;
};
SenderCalls* g_calls = nullptr;

void Arrive(Hold where) {
    std::call_once(g_calls->threadNoted, [] {
        g_calls->thread.reset(::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId()));
    });
    if (g_calls->hold != where || g_calls->held.exchange(true)) return;
    ::SetEvent(g_calls->entered.get());
    ::WaitForSingleObject(g_calls->release.get(), 30000);
}

int WSAAPI HeldLookup(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    Arrive(Hold::Lookup);
    return g_calls->realLookup(node, service, hints, result);
}

// Nothing leaves the machine: the datagram is written down as sent once the
// (held) call would have handed it over.
int WSAAPI RecordedSend(SOCKET, const char* bytes, int length, int, const sockaddr*, int) {
    Arrive(Hold::Send);
    std::lock_guard<std::mutex> lock(g_calls->lock);
    g_calls->sent.emplace_back(bytes, static_cast<size_t>(length));
    if (g_calls->stopReturned) ++g_calls->sentAfterStop;
    return length;
}

// A private copy of udp_qor.dll with both calls redirected.
class HookedSender {
public:
    explicit HookedSender(Hold hold) {
        calls_.hold = hold;
        g_calls = &calls_;
        EXPECT_TRUE(::CopyFileW(ProductPath(L"udp_qor.dll").c_str(), (dir_ / L"udp_qor.dll").c_str(), FALSE));
        lib_.reset(::LoadLibraryW((dir_ / L"udp_qor.dll").c_str()));
        lookup_ = std::make_unique<ImportHook>(lib_.get(), "ws2_32.dll", "getaddrinfo", reinterpret_cast<void*>(&HeldLookup));
        send_ = std::make_unique<ImportHook>(lib_.get(), "ws2_32.dll", "sendto", reinterpret_cast<void*>(&RecordedSend));
        EXPECT_TRUE(lookup_->ok() && send_->ok());
        calls_.realLookup = lookup_->original<int WSAAPI(const char*, const char*, const addrinfo*, addrinfo**)>();
        start_ = reinterpret_cast<decltype(&udp_qor_start)>(::GetProcAddress(lib_.get(), "udp_qor_start"));
        send = reinterpret_cast<decltype(&udp_qor_send)>(::GetProcAddress(lib_.get(), "udp_qor_send"));
        stop = reinterpret_cast<decltype(&udp_qor_stop)>(::GetProcAddress(lib_.get(), "udp_qor_stop"));
        EXPECT_TRUE(start_ && send && stop && start_());
    }
    ~HookedSender() {
        Release();
        if (stop) stop(0);
        EXPECT_TRUE(SenderEnded());
        send_.reset();
        lookup_.reset();
        g_calls = nullptr;
    }

    bool Queue(const std::string& bytes) { return send("127.0.0.1", 8700, bytes.data(), static_cast<int>(bytes.size())) != FALSE; }
    bool Held() { return ::WaitForSingleObject(calls_.entered.get(), 10000) == WAIT_OBJECT_0; }
    void Release() { ::SetEvent(calls_.release.get()); }
    // The sender's thread has ended (or never began).
    bool SenderEnded() { return !calls_.thread || ::WaitForSingleObject(calls_.thread.get(), 10000) == WAIT_OBJECT_0; }
    // udp_qor_stop(0) on a thread of its own, noted as returned when it has.
    std::future<void> StopElsewhere() {
        return std::async(std::launch::async, [this] {
            stop(0);
            calls_.stopReturned = true;
        });
    }
    std::vector<std::string> Sent() {
        std::lock_guard<std::mutex> lock(calls_.lock);
        return calls_.sent;
    }
    int SentAfterStop() {
        std::lock_guard<std::mutex> lock(calls_.lock);
        return calls_.sentAfterStop;
    }

    decltype(&udp_qor_send) send = nullptr;
    decltype(&udp_qor_stop) stop = nullptr;

private:
    SenderCalls calls_;
    TempDir dir_;
    vek::UniqueModule lib_;
    std::unique_ptr<ImportHook> lookup_, send_;
    decltype(&udp_qor_start) start_ = nullptr;
};

}  // namespace

// A sender that cannot go on (here: one name lookup that does not end) keeps
// at most its bound queued; the newest datagrams beyond it are refused, and
// the ones kept all leave, in order, once it can go on.
TEST(UdpSender, QueueIsBoundedAndRefusesTheNewest) {
    HookedSender sender(Hold::Lookup);
    ASSERT_TRUE(sender.Queue("0"));
    ASSERT_TRUE(sender.Held());  // taken off the queue, the lookup waits
    std::vector<std::string> kept{"0"};
    int accepted = 0;
    for (int i = 1; i <= kUdpQorMostQueued; ++i) {
        kept.push_back(std::to_string(i));
        accepted += sender.Queue(kept.back()) ? 1 : 0;
    }
    EXPECT_EQ(accepted, kUdpQorMostQueued);
    EXPECT_FALSE(sender.Queue("beyond the bound"));
    EXPECT_FALSE(sender.Queue("and again"));
    sender.Release();
    sender.stop(10000);  // returns once the queue is sent
    EXPECT_EQ(sender.Sent(), kept);
}

// Once udp_qor_stop has returned nothing leaves any more: neither a datagram
// whose name lookup ends later, nor one that was being sent when the stop was
// asked (the stop waits for that one).
TEST(UdpSender, NothingLeavesOnceStopHasReturned) {
    const struct {
        Hold hold;
        bool stopWaits;
        std::vector<std::string> sent;
        const char* what;
    } cases[] = {
        {Hold::Lookup, false, {}, "lookup ending after the stop"},
        {Hold::Send, true, {"late"}, "send under way when the stop is asked"},
    };
    for (const auto& c : cases) {
        HookedSender sender(c.hold);
        ASSERT_TRUE(sender.Queue("late"));
        ASSERT_TRUE(sender.Held()) << c.what;
        std::future<void> stopped = sender.StopElsewhere();
        // A stop that must wait can only be seen not to return: 300 ms is
        // ample for one that does not wait.
        const bool returnedWhileHeld = stopped.wait_for(c.stopWaits ? 300ms : 10s) == std::future_status::ready;
        EXPECT_EQ(returnedWhileHeld, !c.stopWaits) << c.what;
        sender.Release();
        ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << c.what;
        ASSERT_TRUE(sender.SenderEnded()) << c.what;
        EXPECT_EQ(sender.SentAfterStop(), 0) << c.what;
        EXPECT_EQ(sender.Sent(), c.sent) << c.what;
    }
}
