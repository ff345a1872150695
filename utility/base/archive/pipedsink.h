// Hands a block's bytes from its decoding thread to a writing thread of
// its own through a few buffers, so that the decoder goes on while the
// files are written. Plain C++ over the block sink interface.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "utility/base/archive/folderdecoder.h"

namespace vek {

// Every wait ends by the other side: the writer frees a buffer or fails (a
// question it waits on ends with a cancel), the decoder hands on bytes or
// closes.
class PipedSink final : public IFolderSink {
public:
    PipedSink(IFolderSink& inner, const std::atomic<bool>& cancel);
    ~PipedSink() { Close(); }
    PipedSink(const PipedSink&) = delete;
    PipedSink& operator=(const PipedSink&) = delete;

    SRes Put(const Byte* data, size_t size) override;
    // Waits until every byte handed on was written; the writer's result.
    SRes Close();

private:
    static constexpr size_t kBuffers = 4;
    static constexpr size_t kPiece = 1u << 20;

    void Drain();
    SRes Write(const Byte* data, size_t size);

    IFolderSink& inner_;
    const std::atomic<bool>& cancel_;
    std::vector<Byte> buffers_[kBuffers];
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<size_t> free_;
    std::deque<std::pair<size_t, size_t>> full_;
    bool closed_ = false;
    SRes result_ = SZ_OK;  // the writer's first failure
    std::thread writer_;
};

}  // namespace vek
