#include "extractboard.h"

namespace vek {

void Board::Settle(UInt32 file, Fate fate, ExtractResult result, std::unique_ptr<ReplacingFile> written) {
    {
        std::lock_guard<std::mutex> hold(lock);
        slots[file].fate = fate;
        slots[file].result = result;
        slots[file].file = std::move(written);
    }
    changed.notify_all();
}

Answer Board::Ask(UInt32 file, DWORD error) {
    std::unique_lock<std::mutex> hold(lock);
    slots[file].fate = Fate::Asking;
    slots[file].error = error;
    changed.notify_all();
    changed.wait(hold, [&] { return slots[file].fate == Fate::Answered || cancel.load(); });
    slots[file].fate = Fate::Pending;
    return cancel.load() ? Answer::Abort : slots[file].answer;
}

void Board::EndBlock(UInt32 folder, SRes result) {
    {
        std::lock_guard<std::mutex> hold(lock);
        blocks[folder].done = true;
        blocks[folder].result = result;
    }
    changed.notify_all();
}

void Board::Cancel() {
    {
        std::lock_guard<std::mutex> hold(lock);
        cancel = true;
    }
    changed.notify_all();
}

}  // namespace vek
