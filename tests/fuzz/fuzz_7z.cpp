// libFuzzer target: open any bytes as a 7z archive, as the installer does
// with its payload (a native Linux build of the decoder part), and decode
// every block twice: as the installer streams it and whole by the SDK. The
// two must agree: the same bytes when the SDK succeeds, a failure when it
// fails. Allocations are capped, so that sizes an archive merely claims
// end as a memory error instead of an out-of-memory report. Input that
// starts with "z7" is taken in the payload resource's stored form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

extern "C" {
#include <7z/7z.h>
#include <7z/7zCrc.h>
}

#include "utility/base/archive/archivesource.h"
#include "utility/base/archive/folderdecoder.h"

namespace {

constexpr size_t kAllocationCap = 64u << 20;

void* CappedAlloc(ISzAllocPtr, size_t size) { return size == 0 || size > kAllocationCap ? nullptr : malloc(size); }
void CappedFree(ISzAllocPtr, void* address) { free(address); }
const ISzAlloc kAlloc = {CappedAlloc, CappedFree};

struct Collect final : vek::IFolderSink {
    std::vector<Byte> bytes;
    SRes Put(const Byte* data, size_t size) override {
        if (bytes.size() + size > kAllocationCap) return SZ_ERROR_MEM;
        bytes.insert(bytes.end(), data, data + size);
        return SZ_OK;
    }
};

SRes OpenArchive(vek::IArchiveSource& source, CSzArEx* db) {
    vek::LookInSource look(source);
    return SzArEx_Open(db, look.get(), &kAlloc, &kAlloc);
}

SRes DecodeWhole(const CSzArEx& db, UInt32 folder, vek::IArchiveSource& source, std::vector<Byte>* out) {
    const UInt64 size = SzAr_GetFolderUnpackSize(&db.db, folder);
    if (size > kAllocationCap) return SZ_ERROR_MEM;
    out->resize(static_cast<size_t>(size));
    vek::LookInSource look(source);
    return SzAr_DecodeFolder(&db.db, folder, look.get(), db.dataPos, out->data(), out->size(), &kAlloc);
}

void CompareBlocks(const CSzArEx& db, vek::IArchiveSource& source) {
    for (UInt32 folder = 0; folder < db.db.NumFolders; ++folder) {
        std::vector<Byte> whole;
        const SRes sdk = DecodeWhole(db, folder, source, &whole);
        Collect streamed;
        const SRes ours = vek::DecodeFolder(db, folder, source, streamed, &kAlloc);
        if (sdk == SZ_ERROR_MEM || ours == SZ_ERROR_MEM) continue;  // the cap, not the data
        if ((sdk == SZ_OK) != (ours == SZ_OK)) abort();
        if (sdk == SZ_OK && streamed.bytes != whole) abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::once_flag crc;
    std::call_once(crc, CrcGenerateTable);
    const bool stored = size >= 2 && data[0] == 'z' && data[1] == '7';
    vek::MemoryArchiveSource source(std::string_view(reinterpret_cast<const char*>(data), size), stored);
    CSzArEx db;
    SzArEx_Init(&db);
    if (OpenArchive(source, &db) == SZ_OK) {
        std::vector<UInt16> name;
        for (UInt32 i = 0; i < db.NumFiles; ++i) {
            name.resize(SzArEx_GetFileNameUtf16(&db, i, nullptr) + 1);
            SzArEx_GetFileNameUtf16(&db, i, name.data());
        }
        CompareBlocks(db, source);
    }
    SzArEx_Free(&db, &kAlloc);
    return 0;
}
