// Where the bytes of a 7z archive come from: positional reads that several
// decoding threads may make at once. Plain C++ over the decoder's stream
// interface, so the fuzz target shares it.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

extern "C" {
#include <7z/7zTypes.h>
}

namespace vek {

class IArchiveSource {
public:
    virtual ~IArchiveSource() = default;
    virtual UInt64 Size() const = 0;
    // Reads up to `size` bytes at `offset` (fewer only at the end); the
    // decoder's result, SZ_ERROR_READ when the source failed.
    virtual SRes ReadAt(UInt64 offset, Byte* buffer, size_t size, size_t* read) = 0;
    // The bytes themselves when they are in memory as they are, else null.
    virtual const Byte* View(UInt64 offset, size_t size) const = 0;
};

// Archive bytes in memory. A stored archive (the payload resource) has its
// first two bytes exchanged: they are exchanged back as they are read, the
// memory itself is never written.
class MemoryArchiveSource final : public IArchiveSource {
public:
    MemoryArchiveSource(std::string_view bytes, bool stored) : bytes_(bytes), stored_(stored) {}

    UInt64 Size() const override { return bytes_.size(); }

    SRes ReadAt(UInt64 offset, Byte* buffer, size_t size, size_t* read) override {
        const UInt64 left = bytes_.size() - std::min<UInt64>(offset, bytes_.size());
        const size_t count = static_cast<size_t>(std::min<UInt64>(size, left));
        if (count) std::memcpy(buffer, bytes_.data() + offset, count);
        if (stored_) {
            for (UInt64 i = offset; i < 2 && i < offset + count; ++i) buffer[i - offset] = At(i ^ 1);
        }
        *read = count;
        return SZ_OK;
    }

    const Byte* View(UInt64 offset, size_t size) const override {
        if (offset > bytes_.size() || size > bytes_.size() - offset) return nullptr;
        if (stored_ && offset < 2 && size > 0) return nullptr;
        return reinterpret_cast<const Byte*>(bytes_.data()) + offset;
    }

private:
    Byte At(UInt64 i) const { return static_cast<Byte>(bytes_[static_cast<size_t>(i)]); }

    std::string_view bytes_;
    bool stored_;
};

// A seekable stream over a source with a position of its own, for the
// archive database and the decoder's whole-block path.
struct SourceInStream {
    ISeekInStream vt;  // first member: the decoder hands back its address
    IArchiveSource* source;
    UInt64 position = 0;

    explicit SourceInStream(IArchiveSource& from) : source(&from) {
        vt.Read = Read;
        vt.Seek = Seek;
    }

private:
    static SourceInStream* Self(ISeekInStreamPtr p) {
        return reinterpret_cast<SourceInStream*>(const_cast<ISeekInStream*>(p));
    }

    static SRes Read(ISeekInStreamPtr p, void* buffer, size_t* size) {
        SourceInStream* self = Self(p);
        size_t read = 0;
        const SRes res = self->source->ReadAt(self->position, static_cast<Byte*>(buffer), *size, &read);
        self->position += read;
        *size = read;
        return res;
    }

    static SRes Seek(ISeekInStreamPtr p, Int64* offset, ESzSeek origin) {
        SourceInStream* self = Self(p);
        Int64 base = 0;
        switch (origin) {
            case SZ_SEEK_SET: base = 0; break;
            case SZ_SEEK_CUR: base = static_cast<Int64>(self->position); break;
            case SZ_SEEK_END: base = static_cast<Int64>(self->source->Size()); break;
            default: return SZ_ERROR_UNSUPPORTED;
        }
        const Int64 target = base + *offset;
        if (target < 0) return SZ_ERROR_INPUT_EOF;
        self->position = static_cast<UInt64>(target);
        *offset = target;
        return SZ_OK;
    }
};

// The decoder's look-ahead reader over a source, with a position of its
// own: what the archive database and the whole-block path read through.
class LookInSource {
public:
    explicit LookInSource(IArchiveSource& source, size_t lookAhead = 1 << 14)
        : stream_(source), buffer_(lookAhead) {
        LookToRead2_CreateVTable(&look_, False);
        look_.buf = buffer_.data();
        look_.bufSize = buffer_.size();
        look_.realStream = &stream_.vt;
        LookToRead2_INIT(&look_);
    }
    LookInSource(const LookInSource&) = delete;
    LookInSource& operator=(const LookInSource&) = delete;

    ILookInStreamPtr get() const { return &look_.vt; }

private:
    SourceInStream stream_;
    std::vector<Byte> buffer_;
    mutable CLookToRead2 look_ = {};  // the SDK reads through a const pointer and updates it
};

}  // namespace vek
