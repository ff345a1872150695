// A small pool of worker threads that runs queued tasks in queue order. The
// statistics module is one of these, with a single worker.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class IThreadPool;

// One unit of work, always held through std::shared_ptr created with its
// concrete type; hence no virtual destructor here.
class IThreadTask {
public:
    virtual void SetPool(IThreadPool* pool) = 0;
    virtual void Cancel() = 0;  // the pool stops while this task runs
    virtual void Run() = 0;     // on a worker, no pool lock held; must not throw

protected:
    ~IThreadTask() = default;
};

// A task made of a callable.
class EasyTask0 final : public IThreadTask {
public:
    explicit EasyTask0(std::function<void()> work) : work_(std::move(work)) {}
    void SetPool(IThreadPool* pool) override { pool_ = pool; }
    void Cancel() override {}
    void Run() override { work_(); }

private:
    IThreadPool* pool_ = nullptr;  // not owned
    std::function<void()> work_;
};

class IThreadPool {
public:
    virtual bool IsStopped() = 0;
    virtual ~IThreadPool() = default;
};

class ThreadPoolImpl : public IThreadPool {
public:
    ThreadPoolImpl() = default;
    ~ThreadPoolImpl() override;
    ThreadPoolImpl(const ThreadPoolImpl&) = delete;
    ThreadPoolImpl& operator=(const ThreadPoolImpl&) = delete;

    bool IsStopped() override { return !running_.load(); }

    void Start();
    // Cancels and waits for the running task, drops the queued ones. Never
    // call it from a task of this pool: a thread cannot join itself.
    void Stop();
    bool AddTask(std::shared_ptr<IThreadTask> task);
    bool AddTask(std::function<void()> work) { return AddTask(std::make_shared<EasyTask0>(std::move(work))); }

private:
    static void WorkerLoop(uint32_t index, ThreadPoolImpl* pool);
    bool WaitForWork();
    std::shared_ptr<IThreadTask> TakeHead();
    void WakeWorkers(bool all);

    std::list<std::shared_ptr<IThreadTask>> active_;
    std::mutex activeMutex_;
    std::list<std::shared_ptr<IThreadTask>> pending_;
    size_t pendingCount_ = 0;
    std::mutex queueMutex_;
    std::mutex waitMutex_;  // only with wake_
    std::vector<std::thread> workers_;
    std::atomic<bool> running_{false};
    std::condition_variable wake_;
    uint32_t workerCount_ = 1;
};
