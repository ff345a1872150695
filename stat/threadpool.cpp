#include "stat/threadpool.h"

#include <algorithm>

#include "stat/workerapartment.h"

ThreadPoolImpl::~ThreadPoolImpl() { Stop(); }

void ThreadPoolImpl::Start() {
    if (running_.load() || running_.exchange(true)) return;
    for (uint32_t i = 0; i < workerCount_; ++i) workers_.emplace_back(&ThreadPoolImpl::WorkerLoop, i, this);
}

bool ThreadPoolImpl::AddTask(std::shared_ptr<IThreadTask> task) {
    bool queued;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        task->SetPool(this);
        pending_.push_back(std::move(task));
        queued = ++pendingCount_ > 0;
    }
    WakeWorkers(false);
    return queued;
}

// The wake-up is sent under the wait mutex, and a worker looks at the queue
// under that mutex before it waits: a task queued in between is not missed.
void ThreadPoolImpl::WakeWorkers(bool all) {
    std::lock_guard<std::mutex> lock(waitMutex_);
    if (all) {
        wake_.notify_all();
    } else {
        wake_.notify_one();
    }
}

bool ThreadPoolImpl::WaitForWork() {
    std::unique_lock<std::mutex> lock(waitMutex_);
    wake_.wait(lock, [this] {
        if (!running_.load()) return true;
        std::lock_guard<std::mutex> queueLock(queueMutex_);
        return pendingCount_ > 0;
    });
    return running_.load();
}

std::shared_ptr<IThreadTask> ThreadPoolImpl::TakeHead() {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (pending_.empty()) return nullptr;
    std::shared_ptr<IThreadTask> task = std::move(pending_.front());
    pending_.pop_front();
    --pendingCount_;
    return task;
}

void ThreadPoolImpl::WorkerLoop(uint32_t, ThreadPoolImpl* pool) {
    const std::shared_ptr<void> apartment = EnterWorkerApartment();
    while (pool->running_.load()) {
        if (!pool->WaitForWork()) break;
        std::shared_ptr<IThreadTask> task = pool->TakeHead();
        if (!task) continue;
        {
            std::lock_guard<std::mutex> lock(pool->activeMutex_);
            pool->active_.push_back(task);
        }
        task->Run();
        {
            std::lock_guard<std::mutex> lock(pool->activeMutex_);
            auto it = std::find(pool->active_.begin(), pool->active_.end(), task);
            if (it != pool->active_.end()) pool->active_.erase(it);
        }
    }
}

void ThreadPoolImpl::Stop() {
    if (!running_.load() || !running_.exchange(false)) return;
    WakeWorkers(true);
    {
        std::lock_guard<std::mutex> lock(activeMutex_);
        for (const auto& task : active_) task->Cancel();
    }
    for (std::thread& worker : workers_) {
        if (worker.joinable()) worker.join();
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        pending_.clear();
        pendingCount_ = 0;
    }
    workers_.clear();
}
