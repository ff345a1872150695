// The statistics worker pool: order, wake-up, stop. Built twice: into the
// Windows test program (run under Wine) and natively under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "stat/threadpool.h"

namespace {

using namespace std::chrono_literals;

// A gate that tasks wait on until the test opens it.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool WaitOpen(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

// Counts what the pool does with it.
struct CountingTask final : IThreadTask {
    std::atomic<int>* runs;
    std::atomic<int>* cancels;
    std::atomic<int>* destroyed;
    CountingTask(std::atomic<int>* r, std::atomic<int>* c, std::atomic<int>* d) : runs(r), cancels(c), destroyed(d) {}
    ~CountingTask() { ++*destroyed; }
    void SetPool(IThreadPool*) override {}
    void Cancel() override { ++*cancels; }
    void Run() override { ++*runs; }
};

// Runs until the pool cancels it (or gives up after a long while, which
// the test then reports as a missing Cancel).
struct CancellableTask final : IThreadTask {
    Gate started;
    Gate cancelled;
    std::atomic<bool> cancelSeenInRun{false};
    std::atomic<bool> returned{false};
    void SetPool(IThreadPool*) override {}
    void Cancel() override { cancelled.Open(); }
    void Run() override {
        started.Open();
        cancelSeenInRun = cancelled.WaitOpen(10s);
        std::this_thread::sleep_for(50ms);  // Stop must still wait for this
        returned = true;
    }
};

}  // namespace

TEST(ThreadPool, StoppedUntilStartedAndAfterStop) {
    ThreadPoolImpl pool;
    EXPECT_TRUE(pool.IsStopped());
    pool.Stop();  // never started: nothing to do
    EXPECT_TRUE(pool.IsStopped());
    pool.Start();
    EXPECT_FALSE(pool.IsStopped());
    pool.Stop();
    EXPECT_TRUE(pool.IsStopped());
    pool.Stop();
}

TEST(ThreadPool, RunsTasksOneAfterAnotherInQueueOrderOnOneThread) {
    ThreadPoolImpl pool;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::promise<void> last;
    // Queued before the start: they run once the worker exists.
    for (int i = 0; i < 5; ++i) pool.AddTask([&, i] { order.push_back(i); });
    pool.Start();
    pool.Start();  // a second start adds no worker
    for (int i = 5; i < 500; ++i) {
        pool.AddTask([&, i] {
            if (++inside > 1) overlapped = true;
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
            if (i % 50 == 0) std::this_thread::yield();
            --inside;
        });
    }
    pool.AddTask([&] { last.set_value(); });
    ASSERT_EQ(last.get_future().wait_for(10s), std::future_status::ready);
    pool.Stop();
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(order[i], i);
    EXPECT_FALSE(overlapped);
    for (const auto& id : threads) EXPECT_EQ(id, threads.front());
    EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(ThreadPool, ATaskMayQueueAnother) {
    ThreadPoolImpl pool;
    pool.Start();
    std::promise<int> inner;
    pool.AddTask([&] { pool.AddTask([&] { inner.set_value(7); }); });
    auto result = inner.get_future();
    ASSERT_EQ(result.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(result.get(), 7);
}

// Stop cancels the running task, waits for its end and drops the queue
// without running or cancelling what was queued.
TEST(ThreadPool, StopCancelsTheRunningTaskWaitsForItAndDropsTheQueue) {
    ThreadPoolImpl pool;
    pool.Start();
    auto running = std::make_shared<CancellableTask>();
    pool.AddTask(running);
    ASSERT_TRUE(running->started.WaitOpen(10s));
    std::atomic<int> runs{0}, cancels{0}, destroyed{0};
    for (int i = 0; i < 20; ++i) pool.AddTask(std::make_shared<CountingTask>(&runs, &cancels, &destroyed));
    pool.Stop();
    EXPECT_TRUE(running->cancelSeenInRun) << "the running task was not cancelled";
    EXPECT_TRUE(running->returned);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(destroyed, 20);  // the pool holds no reference to them any more
}

// A task queued at any moment wakes the worker, also in the instant between
// its look at the queue and its wait. Each round waits for one task alone.
TEST(ThreadPool, NoWakeUpIsLost) {
    ThreadPoolImpl pool;
    pool.Start();
    for (int round = 0; round < 3000; ++round) {
        std::promise<void> done;
        auto ran = done.get_future();
        if (round % 3 == 1) std::this_thread::yield();  // vary where the worker is
        pool.AddTask([&done] { done.set_value(); });
        ASSERT_EQ(ran.wait_for(10s), std::future_status::ready) << "round " << round;
    }
}

TEST(ThreadPool, TasksFromSeveralThreadsAllRunOnce) {
    ThreadPoolImpl pool;
    pool.Start();
    constexpr int kThreads = 4, kEach = 1000;
    std::atomic<int> ran{0};
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) pool.AddTask([&ran] { ++ran; });
        });
    }
    for (auto& p : producers) p.join();
    for (int i = 0; i < 1000 && ran < kThreads * kEach; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ran, kThreads * kEach);
}

// Start and stop over and over while tasks arrive: no hang, and every task
// runs at most once and is released.
TEST(ThreadPool, StartAndStopUnderLoad) {
    std::atomic<int> runs{0}, cancels{0}, destroyed{0};
    int queued = 0;
    {
        ThreadPoolImpl pool;
        for (int round = 0; round < 300; ++round) {
            pool.Start();
            for (int i = 0; i < round % 7; ++i, ++queued) {
                pool.AddTask(std::make_shared<CountingTask>(&runs, &cancels, &destroyed));
            }
            if (round % 2) std::this_thread::yield();
            pool.Stop();
        }
    }
    EXPECT_LE(runs, queued);
    EXPECT_EQ(destroyed, queued);
    EXPECT_LE(cancels, runs);  // only a running task is cancelled
}
