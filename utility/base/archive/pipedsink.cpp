#include "pipedsink.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace vek {

PipedSink::PipedSink(IFolderSink& inner, const std::atomic<bool>& cancel) : inner_(inner), cancel_(cancel) {
    for (size_t i = 0; i < kBuffers; ++i) {
        buffers_[i].resize(kPiece);
        free_.push_back(i);
    }
    writer_ = std::thread([this] { Drain(); });
}

SRes PipedSink::Put(const Byte* data, size_t size) {
    while (size > 0) {
        if (cancel_.load()) return SZ_ERROR_PROGRESS;
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [&] { return !free_.empty() || result_ != SZ_OK; });
        if (result_ != SZ_OK) return result_;
        const size_t i = free_.back();
        free_.pop_back();
        hold.unlock();
        const size_t n = std::min(size, kPiece);
        std::memcpy(buffers_[i].data(), data, n);
        hold.lock();
        full_.push_back({i, n});
        changed_.notify_all();
        data += n;
        size -= n;
    }
    return SZ_OK;
}

SRes PipedSink::Close() {
    if (writer_.joinable()) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            closed_ = true;
        }
        changed_.notify_all();
        writer_.join();
    }
    return result_;
}

void PipedSink::Drain() {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [&] { return !full_.empty() || closed_; });
        if (full_.empty()) return;
        const auto [i, n] = full_.front();
        full_.pop_front();
        const bool failed = result_ != SZ_OK;
        hold.unlock();
        const SRes res = failed ? SZ_OK : Write(buffers_[i].data(), n);
        hold.lock();
        if (res != SZ_OK) result_ = res;
        free_.push_back(i);
        changed_.notify_all();
    }
}

SRes PipedSink::Write(const Byte* data, size_t size) {
    try {
        return inner_.Put(data, size);
    } catch (const std::exception&) {
        return SZ_ERROR_MEM;
    }
}

}  // namespace vek
