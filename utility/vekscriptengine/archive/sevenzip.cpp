#include "sevenzip.h"

#include <windows.h>

#include <cstring>
#include <mutex>

extern "C" {
#include <7z/7z.h>
#include <7z/7zAlloc.h>
#include <7z/7zCrc.h>
#include <7z/7zFile.h>
}

#include "utility/base/trace.h"
#include "utility/vekscriptengine/archive/memoryinstream.h"

namespace vek {

namespace {

constexpr size_t kLookAhead = 1 << 14;      // 16 KiB per read of the input
constexpr size_t kWritePiece = 4u << 20;    // files are written in pieces of 4 MiB
constexpr int kResultWriteError = SZ_ERROR_WRITE;  // 11

const ISzAlloc kAlloc = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};

// A stored name must stay inside the destination: no root, no drive or
// stream colon, no ".." component.
bool IsSafeEntryName(const std::wstring& name) {
    if (name.empty() || name[0] == L'/' || name[0] == L'\\' || name.find(L':') != std::wstring::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = name.find_first_of(L"/\\", start);
        const std::wstring part = name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (part == L"..") return false;
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return true;
}

// Creates the folders named before each "/" of the name part and turns the
// slashes into backslashes.
void MakeParents(std::wstring& path, size_t nameStart) {
    for (size_t i = nameStart; i < path.size(); ++i) {
        if (path[i] != L'/') continue;
        path[i] = L'\0';
        ::CreateDirectoryW(path.c_str(), nullptr);
        path[i] = L'\\';
    }
}

bool WriteAll(HANDLE file, const Byte* data, size_t size) {
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min(size, kWritePiece));
        DWORD written = 0;
        if (!::WriteFile(file, data, piece, &written, nullptr) || written != piece) return false;
        data += piece;
        size -= piece;
    }
    return true;
}

HANDLE CreateOutput(const std::wstring& path) {
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

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

    int Run(ISeekInStream* input) {
        static std::once_flag crc;
        std::call_once(crc, CrcGenerateTable);
        LookToRead2_CreateVTable(&look_, False);
        look_.buf = lookBuffer_.data();
        look_.bufSize = lookBuffer_.size();
        look_.realStream = input;
        LookToRead2_INIT(&look_);
        const SRes opened = SzArEx_Open(&db_, &look_.vt, &kAlloc, &kAllocTemp);
        if (opened != SZ_OK) return opened;

        int result = 0;
        bool refused = false;
        for (UInt32 i = 0; i < db_.NumFiles; ++i) {
            const int step = Entry(i, result, refused);
            if (step >= 0) return step;
        }
        return refused ? kResultWriteError : result;
    }

private:
    // Returns a final result when the loop ends here, -1 to go on.
    int Entry(UInt32 index, int& result, bool& refused) {
        std::wstring name(SzArEx_GetFileNameUtf16(&db_, index, nullptr), L'\0');
        SzArEx_GetFileNameUtf16(&db_, index, reinterpret_cast<UInt16*>(name.data()));
        name.resize(wcsnlen(name.c_str(), name.size()));
        if (!IsSafeEntryName(name)) {
            Trace(L"Fun:Lua_UnCompress7z, Description:entry %s leaves the destination, refused!\r\n", name.c_str());
            refused = true;
            return -1;
        }
        const bool isDir = SzArEx_IsDir(&db_, index);
        size_t offset = 0, size = 0;
        if (!isDir) {
            const SRes res = SzArEx_Extract(&db_, &look_.vt, index, &blockIndex_, &block_, &blockSize_, &offset, &size,
                                            &kAlloc, &kAllocTemp);
            if (res != SZ_OK) return res;
        }
        std::wstring path = destination_ + L"\\" + name;
        MakeParents(path, destination_.size() + 1);
        if (isDir) {
            ::CreateDirectoryW(path.c_str(), nullptr);
            return -1;
        }
        return WriteEntry(index, path, block_ + offset, size, result);
    }

    int WriteEntry(UInt32 index, const std::wstring& path, const Byte* data, size_t size, int& result) {
        const DWORD existing = ::GetFileAttributesW(path.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY)) {
            ::SetFileAttributesW(path.c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
        }
        HANDLE file = CreateOutput(path);
        if (file == INVALID_HANDLE_VALUE) {
            result = static_cast<int>(::GetLastError());
            if (result != 0) {
                const int answer = callbacks_.onCreateError ? callbacks_.onCreateError(path, result) : 2;
                if (answer == 1) return -1;  // skipped: the error stays the running result
                if (answer != 0) return kResultWriteError;
                file = CreateOutput(path);
                if (file == INVALID_HANDLE_VALUE) {
                    result = static_cast<int>(::GetLastError());
                    return kResultWriteError;
                }
            }
        }
        result = 0;
        const bool written = file != INVALID_HANDLE_VALUE && WriteAll(file, data, size);
        if (!written) {
            if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
            return kResultWriteError;
        }
        if (SzBitWithVals_Check(&db_.MTime, index)) {
            FILETIME time;
            time.dwLowDateTime = db_.MTime.Vals[index].Low;
            time.dwHighDateTime = db_.MTime.Vals[index].High;
            ::SetFileTime(file, nullptr, nullptr, &time);
        }
        if (!::CloseHandle(file) && ::GetLastError() != 0) return kResultWriteError;
        if (SzBitWithVals_Check(&db_.Attribs, index)) {
            UInt32 attributes = db_.Attribs.Vals[index];
            // Archives made on Unix keep the mode in the high bits.
            if (attributes & 0xF0000000) attributes &= 0x7FFF;
            ::SetFileAttributesW(path.c_str(), attributes);
        }
        if (callbacks_.onExtracted) callbacks_.onExtracted(path);
        return -1;
    }

    std::wstring destination_;
    const ExtractCallbacks& callbacks_;
    CSzArEx db_;
    UInt32 blockIndex_ = 0xFFFFFFFF;
    Byte* block_ = nullptr;
    size_t blockSize_ = 0;
    CLookToRead2 look_ = {};
    std::vector<Byte> lookBuffer_ = std::vector<Byte>(kLookAhead);
};

}  // namespace

int Extract7zFile(void* fileHandle, const std::wstring& destination, const ExtractCallbacks& callbacks) {
    CFileInStream stream;
    FileInStream_CreateVTable(&stream);
    File_Construct(&stream.file);
    stream.file.handle = static_cast<HANDLE>(fileHandle);
    Extraction extraction(destination, callbacks);
    return extraction.Run(&stream.vt);
}

int Extract7zMemory(std::vector<unsigned char> archive, const std::wstring& destination,
                    const ExtractCallbacks& callbacks) {
    MemoryInStream stream(std::move(archive));
    Extraction extraction(destination, callbacks);
    return extraction.Run(&stream.vt);
}

}  // namespace vek
