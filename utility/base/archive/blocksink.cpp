#include "blocksink.h"

#include <algorithm>

#include "utility/base/trace.h"

namespace vek {

Stored::Stored(const CSzArEx& db, UInt32 i) {
    if (SzBitWithVals_Check(&db.CRCs, i)) crc = &db.CRCs.Vals[i];
    if (SzBitWithVals_Check(&db.Attribs, i)) attributes = &db.Attribs.Vals[i];
    hasTime = SzBitWithVals_Check(&db.MTime, i);
    if (hasTime) written = {db.MTime.Vals[i].Low, db.MTime.Vals[i].High};
}

void Progress::Add(UInt64 bytes) {
    if (total_ == 0) return;
    const UInt64 done = done_.fetch_add(bytes) + bytes;
    const UInt64 before = (done - bytes) * 10 / total_, after = done * 10 / total_;
    if (after > before) {
        Trace(L"UnCompress %u%% (%I64u of %I64u bytes).\r\n", static_cast<unsigned>(after * 10), done, total_);
    }
}

BlockSink::BlockSink(const CSzArEx& db, UInt32 folder, const std::vector<Entry>& entries, Board& board,
                     Progress& progress)
    : db_(db), entries_(entries), board_(board), progress_(progress) {
    for (UInt32 i = db.FolderToFile[folder]; i < db.FolderToFile[folder + 1] && i < db.NumFiles; ++i) {
        if (db.FileToFolder[i] == folder) files_.push_back(i);
    }
}

SRes BlockSink::Put(const Byte* data, size_t size) {
    for (;;) {
        if (board_.cancel.load()) return SZ_ERROR_PROGRESS;
        if (!writing_ && !OpenNext()) return stopped_ ? SZ_ERROR_PROGRESS : SZ_OK;
        if (left_ == 0) {
            if (!CloseCurrent()) return SZ_ERROR_PROGRESS;
            continue;
        }
        if (size == 0) return SZ_OK;
        const size_t n = static_cast<size_t>(std::min<UInt64>(size, left_));
        if (writer_) {
            if (!writer_->Write(data, n)) return Stop();
            progress_.Add(n);
        }
        data += n;
        size -= n;
        left_ -= n;
    }
}

SRes BlockSink::Finish() {
    const SRes res = Put(nullptr, 0);
    if (res != SZ_OK) return res;
    return writing_ || next_ < files_.size() ? SZ_ERROR_FAIL : SZ_OK;
}

bool BlockSink::OpenNext() {
    if (stopped_ || next_ == files_.size()) return false;
    current_ = files_[next_++];
    left_ = db_.UnpackPositions[current_ + 1] - db_.UnpackPositions[current_];
    writing_ = true;
    writer_.reset();
    if (entries_[current_].kind != Entry::Kind::Stream) return true;  // refused: its bytes pass by
    writer_ = std::make_unique<EntryWriter>(entries_[current_].path);
    const UInt32 file = current_;
    const Attempt begun = writer_->Begin([&](DWORD error) { return board_.Ask(file, error); });
    if (begun == Attempt::Done) return true;
    if (begun == Attempt::Ended) return Stop(), false;
    board_.Settle(current_, Fate::Skipped, writer_->Result());
    writer_.reset();  // the skipped file's bytes pass by unwritten
    return true;
}

bool BlockSink::CloseCurrent() {
    writing_ = false;
    if (!writer_) return true;
    const Stored stored(db_, current_);
    if (!writer_->Seal(stored.crc, stored.Time())) return Stop(), false;
    board_.Settle(current_, Fate::Written, writer_->Result(), writer_->Take());
    writer_.reset();
    return true;
}

SRes BlockSink::Stop() {
    if (writer_) board_.Settle(current_, Fate::Ended, writer_->Result());
    writer_.reset();
    stopped_ = true;
    return SZ_ERROR_PROGRESS;
}

}  // namespace vek
