#include "sevenzip.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

extern "C" {
#include <7z/7z.h>
#include <7z/7zAlloc.h>
#include <7z/7zCrc.h>
#include <7z/7zFile.h>
}

#include "utility/base/archive/entrynames.h"
#include "utility/base/archive/memoryinstream.h"
#include "utility/base/archive/replacingfile.h"
#include "utility/base/handles.h"

namespace vek {

namespace {

constexpr size_t kLookAhead = 1 << 14;  // 16 KiB per read of the input

const ISzAlloc kAlloc = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};

bool IsLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Creates the folders named before each separator after `base` (turning
// "/" into "\"). False, with nothing created below it, when a part that
// already exists is a junction or link, or the last part is one.
bool MakeParents(std::wstring& path, size_t base) {
    for (size_t i = base; i < path.size(); ++i) {
        if (path[i] != L'/' && path[i] != L'\\') continue;
        path[i] = L'\0';
        const std::wstring folder(path.c_str());
        path[i] = L'\\';
        if (IsLink(folder)) return false;
        ::CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is fine
    }
    return !IsLink(path);
}

FILETIME ToFileTime(const CNtfsFileTime& time) { return {time.Low, time.High}; }

// Archives made on Unix keep the mode in the high bits.
DWORD WindowsAttributes(UInt32 attributes) { return (attributes & 0xF0000000) ? (attributes & 0x7FFF) : attributes; }

class Extraction {
public:
    Extraction(const std::wstring& destination, const ExtractCallbacks& callbacks)
        : destination_(destination), callbacks_(callbacks) {
        SzArEx_Init(&db_);
    }
    ~Extraction() {
        ISzAlloc_Free(&kAlloc, block_);
        SzArEx_Free(&db_, &kAlloc);
    }
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    ExtractResult Run(ISeekInStream* input) {
        static std::once_flag crc;
        std::call_once(crc, CrcGenerateTable);
        LookToRead2_CreateVTable(&look_, False);
        look_.buf = lookBuffer_.data();
        look_.bufSize = lookBuffer_.size();
        look_.realStream = input;
        LookToRead2_INIT(&look_);
        const SRes opened = SzArEx_Open(&db_, &look_.vt, &kAlloc, &kAllocTemp);
        if (opened != SZ_OK) return {opened, 0};
        for (UInt32 i = 0; i < db_.NumFiles; ++i) {
            if (Entry(i) == Step::End) return result_;
        }
        return refused_ && result_.ok() ? ExtractResult{kExtractWrite, 0} : result_;
    }

private:
    enum class Step { Next, End };

    std::wstring NameOf(UInt32 index) const {
        std::wstring name(SzArEx_GetFileNameUtf16(&db_, index, nullptr), L'\0');
        SzArEx_GetFileNameUtf16(&db_, index, reinterpret_cast<UInt16*>(name.data()));
        name.resize(wcsnlen(name.c_str(), name.size()));
        return name;
    }

    Step Refuse(const std::wstring& name, EntryRefusal why) {
        refused_ = true;
        if (callbacks_.onRefused) callbacks_.onRefused(name, why);
        return Step::Next;
    }

    Step Entry(UInt32 index) {
        const std::wstring name = NameOf(index);
        const EntryName check = CheckEntryName(name);
        if (check == EntryName::LeavesDestination) return Refuse(name, EntryRefusal::LeavesDestination);
        if (check == EntryName::RenamedByWindows) return Refuse(name, EntryRefusal::RenamedByWindows);
        const bool isDir = SzArEx_IsDir(&db_, index);
        size_t offset = 0, size = 0;
        if (!isDir) {
            const SRes res = SzArEx_Extract(&db_, &look_.vt, index, &blockIndex_, &block_, &blockSize_, &offset,
                                            &size, &kAlloc, &kAllocTemp);
            if (res != SZ_OK) return End({res, 0});
        }
        std::wstring path = destination_ + L"\\" + name;
        if (!MakeParents(path, destination_.size() + 1)) return Refuse(name, EntryRefusal::ThroughLink);
        if (isDir) {
            ::CreateDirectoryW(path.c_str(), nullptr);
            return Step::Next;
        }
        return WriteEntry(index, path, block_ + offset, size);
    }

    Step End(ExtractResult result) {
        result_ = result;
        return Step::End;
    }

    enum class Answer { Done, Skip, Abort };

    // The caller's say over a file that cannot be created or put in place:
    // one more attempt, skip it (its error stays the running result) or
    // abort.
    Answer TryOrAsk(const std::wstring& path, const std::function<DWORD()>& attempt) {
        DWORD error = attempt();
        if (error == 0) return Answer::Done;
        result_ = {kExtractWrite, error};
        const int answer = callbacks_.onCreateError ? callbacks_.onCreateError(path, error) : 2;
        if (answer == 1) return Answer::Skip;
        if (answer != 0) return Answer::Abort;
        error = attempt();
        if (error == 0) return Answer::Done;
        result_.systemError = error;
        return Answer::Abort;
    }

    static Step After(Answer answer) { return answer == Answer::Skip ? Step::Next : Step::End; }

    Step WriteEntry(UInt32 index, const std::wstring& path, const Byte* data, size_t size) {
        ReplacingFile file(path);
        const Answer created = TryOrAsk(path, [&] { return file.Create(); });
        if (created != Answer::Done) return After(created);
        if (!file.Write(data, size)) return End({kExtractWrite, ::GetLastError()});
        if (SzBitWithVals_Check(&db_.MTime, index)) file.SetLastWriteTime(ToFileTime(db_.MTime.Vals[index]));
        if (!file.Close()) return End({kExtractWrite, ::GetLastError()});
        const Answer placed = TryOrAsk(path, [&] { return file.Place(); });
        if (placed != Answer::Done) return After(placed);
        result_ = {};
        if (SzBitWithVals_Check(&db_.Attribs, index)) {
            ::SetFileAttributesW(path.c_str(), WindowsAttributes(db_.Attribs.Vals[index]));
        }
        if (callbacks_.onExtracted) callbacks_.onExtracted(path);
        return Step::Next;
    }

    std::wstring destination_;
    const ExtractCallbacks& callbacks_;
    CSzArEx db_;
    UInt32 blockIndex_ = 0xFFFFFFFF;
    Byte* block_ = nullptr;
    size_t blockSize_ = 0;
    CLookToRead2 look_ = {};
    std::vector<Byte> lookBuffer_ = std::vector<Byte>(kLookAhead);
    ExtractResult result_;
    bool refused_ = false;
};

// Exhausted memory anywhere in here (names, paths, copies, the caller's
// callbacks) ends the extraction like the decoder's own memory error; the
// temporary file of the entry in hand is removed on the way out. Script
// errors raised in a callback are no std::exception and pass.
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
        CFileInStream stream;
        FileInStream_CreateVTable(&stream);
        File_Construct(&stream.file);
        stream.file.handle = file.get();
        stream.wres = 0;
        ExtractResult result = Extraction(destination, callbacks).Run(&stream.vt);
        if (result.code == SZ_ERROR_READ && result.systemError == 0) result.systemError = stream.wres;
        return result;
    });
}

ExtractResult Extract7zStored(std::string_view stored, const std::wstring& destination,
                              const ExtractCallbacks& callbacks) {
    return Guarded([&]() -> ExtractResult {
        std::vector<unsigned char> archive(stored.begin(), stored.end());
        if (archive.size() >= 2) std::swap(archive[0], archive[1]);
        MemoryInStream stream(std::move(archive));
        return Extraction(destination, callbacks).Run(&stream.vt);
    });
}

}  // namespace vek
