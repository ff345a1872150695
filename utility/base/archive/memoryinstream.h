// A seekable 7z input stream over archive bytes held in memory. Plain C++
// over the decoder's stream interface, so the fuzz target shares it.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <7z/7zTypes.h>
}

namespace vek {

struct MemoryInStream {
    ISeekInStream vt;  // first member: the decoder hands back its address
    std::vector<unsigned char> bytes;
    UInt64 position = 0;

    explicit MemoryInStream(std::vector<unsigned char> data) : bytes(std::move(data)) {
        vt.Read = Read;
        vt.Seek = Seek;
    }

private:
    static MemoryInStream* Self(ISeekInStreamPtr p) {
        return reinterpret_cast<MemoryInStream*>(const_cast<ISeekInStream*>(p));
    }

    static SRes Read(ISeekInStreamPtr p, void* buffer, size_t* size) {
        MemoryInStream* self = Self(p);
        const UInt64 left = self->bytes.size() - std::min<UInt64>(self->position, self->bytes.size());
        const size_t count = static_cast<size_t>(std::min<UInt64>(*size, left));
        if (count) std::memcpy(buffer, self->bytes.data() + self->position, count);
        self->position += count;
        *size = count;
        return SZ_OK;
    }

    static SRes Seek(ISeekInStreamPtr p, Int64* offset, ESzSeek origin) {
        MemoryInStream* self = Self(p);
        Int64 base = 0;
        switch (origin) {
            case SZ_SEEK_SET: base = 0; break;
            case SZ_SEEK_CUR: base = static_cast<Int64>(self->position); break;
            case SZ_SEEK_END: base = static_cast<Int64>(self->bytes.size()); break;
            default: return SZ_ERROR_UNSUPPORTED;
        }
        const Int64 target = base + *offset;
        if (target < 0) return SZ_ERROR_INPUT_EOF;
        self->position = static_cast<UInt64>(target);
        *offset = target;
        return SZ_OK;
    }
};

}  // namespace vek
