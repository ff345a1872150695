// What the decoding threads of an extraction and its script thread share:
// each file's fate and each block's end, under one lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

extern "C" {
#include <7z/7zTypes.h>
}

#include "utility/base/archive/entrywriter.h"

namespace vek {

// Where a file of the archive stands. A decoding thread writes it under a
// temporary name (Written); the script thread puts it in place, in the
// archive's order, so that an abort leaves no later file in place.
enum class Fate { Pending, Asking, Answered, Written, Skipped, Ended };

struct Board {
    struct Slot {
        Fate fate = Fate::Pending;
        DWORD error = 0;  // Asking: the system error to ask about
        Answer answer = Answer::Abort;
        ExtractResult result;
        std::unique_ptr<ReplacingFile> file;  // Written: waiting to be put in place
    };
    struct Block {
        bool done = false;
        SRes result = SZ_OK;
    };

    std::mutex lock;
    std::condition_variable changed;
    std::vector<Slot> slots;
    std::vector<Block> blocks;
    std::atomic<bool> cancel{false};

    void Settle(UInt32 file, Fate fate, ExtractResult result, std::unique_ptr<ReplacingFile> written = nullptr);
    // From a decoding thread: hands the question to the script thread and
    // waits for its answer (abort when the extraction is being cancelled).
    Answer Ask(UInt32 file, DWORD error);
    void EndBlock(UInt32 folder, SRes result);
    void Cancel();
};

}  // namespace vek
