// libFuzzer target: open and decode any bytes as a 7z archive, as the
// installer does with its payload (a native Linux build of the decoder
// part). Allocations are capped, so that sizes an archive merely claims
// end as a memory error instead of an out-of-memory report.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

extern "C" {
#include <7z/7z.h>
#include <7z/7zCrc.h>
}

#include "utility/base/archive/memoryinstream.h"

namespace {

constexpr size_t kAllocationCap = 64u << 20;

void* CappedAlloc(ISzAllocPtr, size_t size) { return size == 0 || size > kAllocationCap ? nullptr : malloc(size); }
void CappedFree(ISzAllocPtr, void* address) { free(address); }
const ISzAlloc kAlloc = {CappedAlloc, CappedFree};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::once_flag crc;
    std::call_once(crc, CrcGenerateTable);
    vek::MemoryInStream stream(std::vector<unsigned char>(data, data + size));
    std::vector<Byte> lookBuffer(1 << 14);
    CLookToRead2 look = {};
    LookToRead2_CreateVTable(&look, False);
    look.buf = lookBuffer.data();
    look.bufSize = lookBuffer.size();
    look.realStream = &stream.vt;
    LookToRead2_INIT(&look);

    CSzArEx db;
    SzArEx_Init(&db);
    if (SzArEx_Open(&db, &look.vt, &kAlloc, &kAlloc) == SZ_OK) {
        UInt32 blockIndex = 0xFFFFFFFF;
        Byte* block = nullptr;
        size_t blockSize = 0;
        std::vector<UInt16> name;
        for (UInt32 i = 0; i < db.NumFiles; ++i) {
            name.resize(SzArEx_GetFileNameUtf16(&db, i, nullptr) + 1);
            SzArEx_GetFileNameUtf16(&db, i, name.data());
            if (SzArEx_IsDir(&db, i)) continue;
            size_t offset = 0, processed = 0;
            if (SzArEx_Extract(&db, &look.vt, i, &blockIndex, &block, &blockSize, &offset, &processed, &kAlloc,
                               &kAlloc) != SZ_OK)
                break;
        }
        free(block);
    }
    SzArEx_Free(&db, &kAlloc);
    return 0;
}
