// The receiving end of one block's decoding: its bytes cut into the files
// of the block, each written on the decoding side and handed to the script
// thread through the board.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <7z/7z.h>
}

#include "utility/base/archive/entrywriter.h"
#include "utility/base/archive/extractboard.h"
#include "utility/base/archive/folderdecoder.h"

namespace vek {

// The archive's own record of a file.
struct Stored {
    const UInt32* crc = nullptr;
    const UInt32* attributes = nullptr;
    bool hasTime = false;
    FILETIME written = {};

    Stored(const CSzArEx& db, UInt32 i);
    const FILETIME* Time() const { return hasTime ? &written : nullptr; }
};

// An entry of the archive as the script thread found it before decoding.
struct Entry {
    enum class Kind { Refused, Folder, Empty, Stream } kind = Kind::Refused;
    std::wstring path;
};

// Bytes written so far; a trace line at each tenth of the whole.
class Progress {
public:
    explicit Progress(UInt64 total) : total_(total) {}
    void Add(UInt64 bytes);

private:
    const UInt64 total_;
    std::atomic<UInt64> done_{0};
};

// Receives one block's bytes on a decoding thread and writes its files one
// after the other; questions go to the script thread through the board.
class BlockSink final : public IFolderSink {
public:
    BlockSink(const CSzArEx& db, UInt32 folder, const std::vector<Entry>& entries, Board& board, Progress& progress);

    SRes Put(const Byte* data, size_t size) override;
    // After the block: its files must all have been complete.
    SRes Finish();

private:
    bool OpenNext();
    bool CloseCurrent();
    SRes Stop();

    const CSzArEx& db_;
    const std::vector<Entry>& entries_;
    Board& board_;
    Progress& progress_;
    std::vector<UInt32> files_;
    size_t next_ = 0;
    UInt32 current_ = 0;
    UInt64 left_ = 0;
    bool writing_ = false;
    bool stopped_ = false;
    std::unique_ptr<EntryWriter> writer_;
};

}  // namespace vek
