#include "sevenzip.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

extern "C" {
#include <7z/7z.h>
#include <7z/7zAlloc.h>
#include <7z/7zCrc.h>
}

#include "utility/base/archive/archivesource.h"
#include "utility/base/archive/blocksink.h"
#include "utility/base/archive/entrynames.h"
#include "utility/base/archive/entrywriter.h"
#include "utility/base/archive/extractboard.h"
#include "utility/base/archive/folderdecoder.h"
#include "utility/base/archive/pipedsink.h"
#include "utility/base/archive/replacingfile.h"
#include "utility/base/handles.h"

namespace vek {

namespace {

constexpr size_t kLookAhead = 1 << 14;  // 16 KiB per read of the archive database

const ISzAlloc kAlloc = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};

// An archive file read at given offsets, so that every decoding thread
// reads its own part without a shared file position.
class FileArchiveSource final : public IArchiveSource {
public:
    explicit FileArchiveSource(HANDLE file) : file_(file) {
        LARGE_INTEGER size = {};
        if (::GetFileSizeEx(file_, &size)) size_ = static_cast<UInt64>(size.QuadPart);
    }

    UInt64 Size() const override { return size_; }

    SRes ReadAt(UInt64 offset, Byte* buffer, size_t size, size_t* read) override {
        *read = 0;
        while (size > 0 && offset < size_) {
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            DWORD got = 0;
            if (!::ReadFile(file_, buffer, piece, &got, &at)) {
                const DWORD error = ::GetLastError();
                if (error == ERROR_HANDLE_EOF) break;
                error_.store(error);
                return SZ_ERROR_READ;
            }
            if (got == 0) break;
            *read += got;
            buffer += got;
            offset += got;
            size -= got;
        }
        return SZ_OK;
    }

    const Byte* View(UInt64, size_t) const override { return nullptr; }

    DWORD Error() const { return error_.load(); }

private:
    HANDLE file_;
    UInt64 size_ = 0;
    std::atomic<DWORD> error_{0};
};

bool IsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Creates the folders named before each separator after `base` (turning
// "/" into "\\"). False, with nothing created below it, when a part that
// already exists is a junction or link, or the last part is one. Folders
// already made or checked for an earlier entry are not asked about again.
class FolderMaker {
public:
    bool MakeParents(std::wstring& path, size_t base) {
        for (size_t i = base; i < path.size(); ++i) {
            if (path[i] != L'/' && path[i] != L'\\') continue;
            path[i] = L'\\';
            std::wstring folder = path.substr(0, i);
            if (made_.count(folder)) continue;
            if (IsLink(folder)) return false;
            ::CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is fine
            made_.insert(std::move(folder));
        }
        return !IsLink(path);
    }

private:
    std::unordered_set<std::wstring> made_;
};

// Archives made on Unix keep the mode in the high bits.
DWORD WindowsAttributes(UInt32 attributes) { return (attributes & 0xF0000000) ? (attributes & 0x7FFF) : attributes; }

// The decoding threads: each takes the next block not yet taken and writes
// its files. Joined on the way out, whatever ends the extraction.
class Decoders {
public:
    Decoders(const CSzArEx& db, IArchiveSource& source, const std::vector<Entry>& entries,
             std::vector<UInt32> folders, Board& board, Progress& progress)
        : db_(db), source_(source), entries_(entries), folders_(std::move(folders)), board_(board),
          progress_(progress) {}
    ~Decoders() {
        board_.Cancel();
        for (std::thread& t : threads_) t.join();
    }
    Decoders(const Decoders&) = delete;
    Decoders& operator=(const Decoders&) = delete;

    void Start(unsigned count) {
        for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { Work(); });
    }

private:
    SRes DecodePiped(UInt32 folder, BlockSink& sink) {
        PipedSink pipe(sink, board_.cancel);
        const SRes decoded = DecodeFolder(db_, folder, source_, pipe, &kAlloc);
        const SRes written = pipe.Close();
        return decoded == SZ_OK || decoded == SZ_ERROR_PROGRESS ? (written != SZ_OK ? written : decoded) : decoded;
    }

    void Work() {
        for (size_t k = next_.fetch_add(1); k < folders_.size() && !board_.cancel.load(); k = next_.fetch_add(1)) {
            const UInt32 folder = folders_[k];
            SRes res = SZ_ERROR_MEM;
            try {
                BlockSink sink(db_, folder, entries_, board_, progress_);
                res = DecodePiped(folder, sink);
                if (res == SZ_OK) res = sink.Finish();
            } catch (const std::exception&) {
                res = SZ_ERROR_MEM;
            }
            board_.EndBlock(folder, res);
        }
    }

    const CSzArEx& db_;
    IArchiveSource& source_;
    const std::vector<Entry>& entries_;
    const std::vector<UInt32> folders_;
    Board& board_;
    Progress& progress_;
    std::atomic<size_t> next_{0};
    std::vector<std::thread> threads_;
};

unsigned Processors() {
    SYSTEM_INFO info = {};
    ::GetSystemInfo(&info);
    return std::max<unsigned>(1, info.dwNumberOfProcessors);
}

// As many threads as processors and blocks, fewer when their windows
// would take more than half of the address space still free.
unsigned ThreadsFor(const CSzArEx& db, const std::vector<UInt32>& folders) {
    UInt64 largest = 0;
    for (UInt32 f : folders) largest = std::max(largest, FolderMemory(db, f));
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    const UInt64 room = ::GlobalMemoryStatusEx(&memory) ? memory.ullAvailVirtual / 2 : largest;
    unsigned threads = std::min<unsigned>(Processors(), static_cast<unsigned>(folders.size()));
    while (threads > 1 && largest * threads > room) --threads;
    return std::max(threads, 1u);
}

class Extraction {
public:
    Extraction(const std::wstring& destination, const ExtractCallbacks& callbacks)
        : destination_(destination), callbacks_(callbacks) {
        SzArEx_Init(&db_);
    }
    ~Extraction() { SzArEx_Free(&db_, &kAlloc); }
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    ExtractResult Run(IArchiveSource& source) {
        static std::once_flag crc;
        std::call_once(crc, CrcGenerateTable);
        const SRes opened = Open(source);
        if (opened != SZ_OK) return {opened, 0};
        const std::vector<UInt32> folders = Prepare();
        board_.slots.resize(db_.NumFiles);
        // Blocks with no file to write are never decoded: done from the start.
        board_.blocks.resize(db_.db.NumFolders, Board::Block{true, SZ_OK});
        for (UInt32 folder : folders) board_.blocks[folder].done = false;
        Progress progress(total_);
        Decoders decoders(db_, source, entries_, folders, board_, progress);
        if (!folders.empty()) decoders.Start(ThreadsFor(db_, folders));
        for (UInt32 i = 0; i < db_.NumFiles; ++i) {
            if (Settle(i) == Step::End) return result_;
        }
        if (db_.NumFiles > 0 && Block(db_.NumFiles) == Step::End) return result_;
        return refused_ && result_.ok() ? ExtractResult{kExtractWrite, 0} : result_;
    }

private:
    enum class Step { Next, End };

    SRes Open(IArchiveSource& source) {
        LookInSource look(source, kLookAhead);
        return SzArEx_Open(&db_, look.get(), &kAlloc, &kAllocTemp);
    }

    std::wstring NameOf(UInt32 index) const {
        std::wstring name(SzArEx_GetFileNameUtf16(&db_, index, nullptr), L'\0');
        SzArEx_GetFileNameUtf16(&db_, index, reinterpret_cast<UInt16*>(name.data()));
        name.resize(wcsnlen(name.c_str(), name.size()));
        return name;
    }

    void Refuse(const std::wstring& name, EntryRefusal why) {
        refused_ = true;
        if (callbacks_.onRefused) callbacks_.onRefused(name, why);
    }

    // Before any byte is decoded, in the archive's order: the refused
    // names, the folders on the way to each file, the empty folders.
    // Returns the blocks that hold a file to write.
    std::vector<UInt32> Prepare() {
        entries_.resize(db_.NumFiles);
        std::vector<UInt32> folders;
        for (UInt32 i = 0; i < db_.NumFiles; ++i) {
            Entry& entry = entries_[i];
            const std::wstring name = NameOf(i);
            const EntryName check = CheckEntryName(name);
            if (check != EntryName::Acceptable) {
                Refuse(name, check == EntryName::LeavesDestination ? EntryRefusal::LeavesDestination
                                                                   : EntryRefusal::RenamedByWindows);
                continue;
            }
            entry.path = destination_ + L"\\" + name;
            if (!folders_.MakeParents(entry.path, destination_.size() + 1)) {
                Refuse(name, EntryRefusal::ThroughLink);
                continue;
            }
            const UInt32 folder = db_.FileToFolder[i];
            if (SzArEx_IsDir(&db_, i)) {
                entry.kind = Entry::Kind::Folder;
                ::CreateDirectoryW(entry.path.c_str(), nullptr);
            } else if (folder == static_cast<UInt32>(-1)) {
                entry.kind = Entry::Kind::Empty;
            } else {
                entry.kind = Entry::Kind::Stream;
                total_ += db_.UnpackPositions[i + 1] - db_.UnpackPositions[i];
                if (folders.empty() || folders.back() != folder) folders.push_back(folder);
            }
        }
        return folders;
    }

    // Files are settled in the archive's order, whichever thread wrote them.
    Step Settle(UInt32 index) {
        const Entry& entry = entries_[index];
        const UInt32 folder = db_.FileToFolder[index];
        if (folder != static_cast<UInt32>(-1) && Block(index) == Step::End) return Step::End;
        switch (entry.kind) {
            case Entry::Kind::Refused:
            case Entry::Kind::Folder: return Step::Next;
            case Entry::Kind::Empty: return WriteEmpty(index);
            case Entry::Kind::Stream: return Await(index, folder);
        }
        return Step::Next;
    }

    // On the way into a later block (or past the last file), the blocks
    // left behind must have ended well: a block's own error (its CRC, data
    // after its last file) shows only at its end.
    Step Block(UInt32 index) {
        const UInt32 folder = index < db_.NumFiles ? db_.FileToFolder[index] : db_.db.NumFolders;
        for (; blockSeen_ < folder && blockSeen_ < db_.db.NumFolders; ++blockSeen_) {
            std::unique_lock<std::mutex> hold(board_.lock);
            board_.changed.wait(hold, [&] { return board_.blocks[blockSeen_].done; });
            const SRes res = board_.blocks[blockSeen_].result;
            if (res != SZ_OK && res != SZ_ERROR_PROGRESS) return End({res, 0});
        }
        return Step::Next;
    }

    // Waits for the decoding thread's word on a file: answers its question,
    // or takes its fate; a block that ended without it ends the extraction.
    Step Await(UInt32 index, UInt32 folder) {
        std::unique_lock<std::mutex> hold(board_.lock);
        Board::Slot& slot = board_.slots[index];
        for (;;) {
            board_.changed.wait(hold, [&] {
                return (slot.fate != Fate::Pending && slot.fate != Fate::Answered) || board_.blocks[folder].done;
            });
            if (slot.fate == Fate::Asking) {
                const DWORD error = slot.error;
                hold.unlock();
                const Answer answer = AskCaller(index, error);
                hold.lock();
                slot.answer = answer;
                slot.fate = Fate::Answered;
                board_.changed.notify_all();
                continue;
            }
            if (slot.fate == Fate::Pending || slot.fate == Fate::Answered) {
                const SRes res = board_.blocks[folder].result;
                return End({res == SZ_OK || res == SZ_ERROR_PROGRESS ? SZ_ERROR_FAIL : res, 0});
            }
            const Fate fate = slot.fate;
            const ExtractResult result = slot.result;
            std::unique_ptr<ReplacingFile> file = std::move(slot.file);
            hold.unlock();
            return Take(index, fate, result, std::move(file));
        }
    }

    Answer AskCaller(UInt32 index, DWORD error) {
        return AnswerOf(callbacks_.onCreateError ? callbacks_.onCreateError(entries_[index].path, error) : 2);
    }

    Step Take(UInt32 index, Fate fate, ExtractResult result, std::unique_ptr<ReplacingFile> file) {
        if (fate == Fate::Skipped) {
            result_ = result;
            return Step::Next;
        }
        if (fate != Fate::Written) return End(result);
        const Attempt placed = TryOrAsk([&] { return file->Place(); },
                                        [&](DWORD error) { return AskCaller(index, error); }, &result_);
        if (placed == Attempt::Skipped) return Step::Next;
        if (placed == Attempt::Ended) return End(result_);
        result_ = {};
        const Stored stored(db_, index);
        // A new file has the archive attribute already: one call less per file.
        const DWORD attributes = stored.attributes ? WindowsAttributes(*stored.attributes) : FILE_ATTRIBUTE_ARCHIVE;
        if (attributes != FILE_ATTRIBUTE_ARCHIVE) ::SetFileAttributesW(entries_[index].path.c_str(), attributes);
        if (callbacks_.onExtracted) callbacks_.onExtracted(entries_[index].path);
        return Step::Next;
    }

    // A file without bytes, written here on the script thread.
    Step WriteEmpty(UInt32 index) {
        EntryWriter writer(entries_[index].path);
        const Attempt begun = writer.Begin([&](DWORD error) { return AskCaller(index, error); });
        if (begun == Attempt::Skipped) return Take(index, Fate::Skipped, writer.Result(), nullptr);
        if (begun == Attempt::Ended || !writer.Seal(nullptr, Stored(db_, index).Time())) {
            return End(writer.Result());
        }
        return Take(index, Fate::Written, writer.Result(), writer.Take());
    }

    Step End(ExtractResult result) {
        result_ = result;
        board_.Cancel();
        return Step::End;
    }

    std::wstring destination_;
    const ExtractCallbacks& callbacks_;
    CSzArEx db_;
    std::vector<Entry> entries_;
    FolderMaker folders_;
    Board board_;
    UInt64 total_ = 0;
    UInt32 blockSeen_ = 0;
    ExtractResult result_;
    bool refused_ = false;
};

// Exhausted memory anywhere in here (names, paths, the caller's callbacks)
// ends the extraction like the decoder's own memory error; the temporary
// files of the entries in hand are removed on the way out. Script errors
// raised in a callback are no std::exception and pass.
template <typename Body>
ExtractResult Guarded(Body body) {
    try {
        return body();
    } catch (const std::exception&) {
        return {kExtractMemory, 0};
    }
}

}  // namespace

ExtractResult Extract7zFile(const std::wstring& archive, const std::wstring& destination,
                            const ExtractCallbacks& callbacks) {
    return Guarded([&]() -> ExtractResult {
        UniqueFile file(::CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return {SZ_ERROR_READ, ::GetLastError()};
        FileArchiveSource source(file.get());
        ExtractResult result = Extraction(destination, callbacks).Run(source);
        if (result.code == SZ_ERROR_READ && result.systemError == 0) result.systemError = source.Error();
        return result;
    });
}

ExtractResult Extract7zStored(std::string_view stored, const std::wstring& destination,
                              const ExtractCallbacks& callbacks) {
    return Guarded([&]() -> ExtractResult {
        MemoryArchiveSource source(stored, true);
        return Extraction(destination, callbacks).Run(source);
    });
}

}  // namespace vek
