// Single objects made on first use: one object, also when many threads ask
// at once, shared with every caller.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "stat/csinglet.h"

namespace {

std::atomic<int> g_made{0};

class CCounted : public CSingleT<CCounted> {
public:
    ~CCounted() = default;

private:
    friend class CSingleT<CCounted>;
    CCounted() {
        ++g_made;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widen the window for a second maker
    }
};

}  // namespace

TEST(CSingleT, ConcurrentFirstCallsMakeOneObject) {
    std::atomic<bool> go{false};
    std::vector<std::shared_ptr<CCounted>> got(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < got.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go) std::this_thread::yield();
            got[i] = CCounted::GetInstance();
        });
    }
    go = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(g_made, 1);
    for (const auto& p : got) EXPECT_EQ(p, got[0]);
    EXPECT_EQ(got[0]->shared_from_this(), got[0]);
    EXPECT_GE(got[0].use_count(), 2);  // the process keeps its own reference
}
