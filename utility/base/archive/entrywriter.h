// One extracted file written under a temporary name, its CRC checked, and
// the caller's answer when it cannot be created or put in place.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

extern "C" {
#include <7z/7zCrc.h>
}

#include "utility/base/archive/replacingfile.h"
#include "utility/base/archive/sevenzip.h"

namespace vek {

// The caller's say over a file that cannot be created or put in place.
enum class Answer { Retry, Skip, Abort };

// The callback's reply: 0 try once more, 1 skip, anything else abort.
inline Answer AnswerOf(int reply) { return reply == 0 ? Answer::Retry : reply == 1 ? Answer::Skip : Answer::Abort; }

enum class Attempt { Done, Skipped, Ended };

// One attempt and, when it fails, the caller's answer: one more attempt,
// skip the file (its error stays the running result) or abort.
template <typename Action, typename AskCaller>
Attempt TryOrAsk(Action action, AskCaller ask, ExtractResult* result) {
    DWORD error = action();
    if (error == 0) return Attempt::Done;
    *result = {kExtractWrite, error};
    const Answer answer = ask(error);
    if (answer == Answer::Skip) return Attempt::Skipped;
    if (answer == Answer::Abort) return Attempt::Ended;
    error = action();
    if (error == 0) return Attempt::Done;
    result->systemError = error;
    return Attempt::Ended;
}

// One file written under a temporary name and checked against its CRC,
// ready to be put in place.
class EntryWriter {
public:
    explicit EntryWriter(std::wstring path) : file_(std::make_unique<ReplacingFile>(std::move(path))) {}

    template <typename AskCaller>
    Attempt Begin(AskCaller ask) {
        return TryOrAsk([&] { return file_->Create(); }, ask, &result_);
    }

    bool Write(const Byte* data, size_t size);
    // Checks the CRC when the archive has one, keeps the last-write time
    // and closes the file.
    bool Seal(const UInt32* crc, const FILETIME* written);

    ExtractResult Result() const { return result_; }
    std::unique_ptr<ReplacingFile> Take() { return std::move(file_); }

private:
    std::unique_ptr<ReplacingFile> file_;
    UInt32 crc_ = CRC_INIT_VAL;
    ExtractResult result_;
};

}  // namespace vek
