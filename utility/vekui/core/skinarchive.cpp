#include "utility/vekui/core/skinarchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace vekui {
namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kMaxComment = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagMaskedHeaders = 0x2000;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;

uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return false;
}

// The look-up key: ASCII case folded, '\' taken as '/'. Bytes above 0x7F
// (UTF-8) are left alone.
std::string Fold(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c == '\\') c = '/';
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// True when [offset, offset + length) lies within size, without overflow.
bool Fits(size_t offset, size_t length, size_t size) { return offset <= size && length <= size - offset; }

struct EndRecord {
    size_t offset = 0;
    uint16_t disk = 0;
    uint16_t directoryDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t entries = 0;
    uint32_t directorySize = 0;
    uint32_t directoryOffset = 0;
};

// The end record is searched backwards over at most the largest comment;
// the first one whose comment fits the buffer wins.
bool FindEnd(const unsigned char* bytes, size_t size, EndRecord* end) {
    if (size < kEndSize) return false;
    size_t last = size - kEndSize;
    size_t first = last > kMaxComment ? last - kMaxComment : 0;
    for (size_t pos = last + 1; pos-- > first;) {
        const unsigned char* p = bytes + pos;
        if (Get32(p) != kEndSignature || !Fits(pos + kEndSize, Get16(p + 20), size)) continue;
        *end = {pos, Get16(p + 4), Get16(p + 6), Get16(p + 8), Get16(p + 10), Get32(p + 12), Get32(p + 16)};
        return true;
    }
    return false;
}

bool IsZip64(const unsigned char* bytes, const EndRecord& end) {
    if (end.entries == 0xFFFF || end.entriesOnDisk == 0xFFFF || end.directorySize == 0xFFFFFFFF ||
        end.directoryOffset == 0xFFFFFFFF)
        return true;
    return end.offset >= kZip64LocatorSize && Get32(bytes + end.offset - kZip64LocatorSize) == kZip64LocatorSignature;
}

class Inflater {
public:
    Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (ok_) inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Inflates exactly out.size() bytes from the input; anything beyond
    // the declared size is refused without being produced.
    bool Run(const unsigned char* in, uint32_t inSize, std::string& out, std::string* error) {
        if (!ok_) return Fail(error, "inflate could not start");
        stream_.next_in = const_cast<unsigned char*>(in);
        stream_.avail_in = inSize;
        stream_.next_out = reinterpret_cast<unsigned char*>(out.data());
        stream_.avail_out = static_cast<uInt>(out.size());
        int result = inflate(&stream_, Z_NO_FLUSH);
        if ((result == Z_OK || result == Z_BUF_ERROR) && stream_.avail_out == 0) {
            unsigned char probe;
            stream_.next_out = &probe;
            stream_.avail_out = 1;
            result = inflate(&stream_, Z_NO_FLUSH);
            if (stream_.avail_out == 0) return Fail(error, "inflates to more than its declared size");
        }
        if (result == Z_DATA_ERROR) return Fail(error, "corrupt deflate data");
        if (result != Z_STREAM_END) return Fail(error, "deflate data ends early");
        if (stream_.total_out != out.size()) return Fail(error, "inflates to less than its declared size");
        return true;
    }

private:
    z_stream stream_{};
    bool ok_ = false;
};

}  // namespace

bool CSkinArchive::Open(const void* bytes, size_t size, std::string* error) {
    *this = CSkinArchive();
    if (!bytes && size) return Fail(error, "no archive bytes");
    bytes_ = static_cast<const unsigned char*>(bytes);
    size_ = size;
    bool ok = [&] {
        EndRecord end;
        if (!FindEnd(bytes_, size_, &end)) return Fail(error, "not a zip archive: no end of central directory");
        if (IsZip64(bytes_, end)) return Fail(error, "Zip64 archives are not supported");
        if (end.disk != 0 || end.directoryDisk != 0 || end.entriesOnDisk != end.entries)
            return Fail(error, "multi-disk archives are not supported");
        if (end.entries > kMaxEntries) return Fail(error, "too many entries: " + std::to_string(end.entries));
        if (!Fits(end.directoryOffset, end.directorySize, end.offset))
            return Fail(error, "central directory out of range");
        return ReadDirectory(end.directoryOffset, end.directorySize, end.entries, error) && CheckOverlaps(error);
    }();
    if (!ok) *this = CSkinArchive();
    return ok;
}

// An open archive has at least its end record, so its bytes are never null.
bool CSkinArchive::IsOpen() const { return bytes_ != nullptr; }

bool CSkinArchive::ReadDirectory(size_t offset, size_t size, size_t count, std::string* error) {
    if (count > size / kCentralHeaderSize) return Fail(error, "central directory too small for its entries");
    directoryOffset_ = offset;
    entries_.reserve(count);
    size_t end = offset + size;
    for (size_t i = 0; i < count; ++i)
        if (!ReadEntry(&offset, end, error)) return false;
    return true;
}

bool CSkinArchive::ReadEntry(size_t* offset, size_t end, std::string* error) {
    if (!Fits(*offset, kCentralHeaderSize, end) || Get32(bytes_ + *offset) != kCentralSignature)
        return Fail(error, "bad central directory entry");
    const unsigned char* p = bytes_ + *offset;
    size_t nameLength = Get16(p + 28), extraLength = Get16(p + 30), commentLength = Get16(p + 32);
    size_t total = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (!Fits(*offset, total, end)) return Fail(error, "central directory entry out of range");
    Entry entry;
    entry.name.assign(reinterpret_cast<const char*>(p + kCentralHeaderSize), nameLength);
    entry.flags = Get16(p + 8);
    entry.method = Get16(p + 10);
    entry.crc = Get32(p + 16);
    entry.packedSize = Get32(p + 20);
    entry.size = Get32(p + 24);
    entry.localOffset = Get32(p + 42);
    if (entry.packedSize == 0xFFFFFFFF || entry.size == 0xFFFFFFFF || entry.localOffset == 0xFFFFFFFF)
        return Fail(error, "Zip64 entries are not supported: " + entry.name);
    if (Get16(p + 34) != 0) return Fail(error, "multi-disk archives are not supported");
    if (entry.flags & kFlagMaskedHeaders) return Fail(error, "encrypted central directory");
    if (!LocateData(entry, error)) return false;
    if (!index_.emplace(Fold(entry.name), entries_.size()).second)
        return Fail(error, "duplicate entry: " + entry.name);
    entries_.push_back(std::move(entry));
    *offset += total;
    return true;
}

// The local header must repeat the name and, with its data, lie before the
// central directory.
bool CSkinArchive::LocateData(Entry& entry, std::string* error) const {
    size_t local = entry.localOffset;
    if (!Fits(local, kLocalHeaderSize, directoryOffset_) || Get32(bytes_ + local) != kLocalSignature)
        return Fail(error, "bad local header: " + entry.name);
    const unsigned char* p = bytes_ + local;
    size_t nameLength = Get16(p + 26), extraLength = Get16(p + 28);
    size_t data = local + kLocalHeaderSize + nameLength + extraLength;
    if (!Fits(local + kLocalHeaderSize, nameLength + extraLength, directoryOffset_) ||
        !Fits(data, entry.packedSize, directoryOffset_))
        return Fail(error, "entry data out of range: " + entry.name);
    if (std::string_view(reinterpret_cast<const char*>(p + kLocalHeaderSize), nameLength) != entry.name)
        return Fail(error, "local header does not match the directory: " + entry.name);
    entry.dataOffset = static_cast<uint32_t>(data);
    return true;
}

// Entries sharing bytes would let a small archive unpack many times its size.
bool CSkinArchive::CheckOverlaps(std::string* error) const {
    std::vector<const Entry*> order;
    order.reserve(entries_.size());
    for (const Entry& entry : entries_) order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->localOffset < b->localOffset; });
    for (size_t i = 1; i < order.size(); ++i) {
        uint64_t previousEnd = uint64_t{order[i - 1]->dataOffset} + order[i - 1]->packedSize;
        if (order[i]->localOffset < previousEnd) return Fail(error, "overlapping entries: " + order[i]->name);
    }
    return true;
}

std::vector<std::string> CSkinArchive::Names() const {
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const Entry& entry : entries_) names.push_back(entry.name);
    return names;
}

const CSkinArchive::Entry* CSkinArchive::Find(std::string_view name) const {
    auto it = index_.find(Fold(name));
    return it == index_.end() ? nullptr : &entries_[it->second];
}

bool CSkinArchive::Contains(std::string_view name) const { return Find(name) != nullptr; }

bool CSkinArchive::Read(std::string_view name, std::string* data, std::string* error) const {
    data->clear();
    const Entry* entry = Find(name);
    std::string what(name);
    if (!entry) return Fail(error, "no such entry: " + what);
    if (entry->flags & (kFlagEncrypted | kFlagStrongEncryption)) return Fail(error, "encrypted entry: " + what);
    if (entry->method != kMethodStored && entry->method != kMethodDeflate)
        return Fail(error, "unsupported compression method " + std::to_string(entry->method) + ": " + what);
    if (entry->size > kMaxEntrySize) return Fail(error, "entry too large: " + what);
    if (entry->size > kMaxTotalSize - totalRead_) return Fail(error, "archive read limit reached: " + what);
    if (entry->method == kMethodStored && entry->packedSize != entry->size)
        return Fail(error, "stored entry with two sizes: " + what);
    totalRead_ += entry->size;
    std::string out(entry->size, '\0');
    const unsigned char* in = bytes_ + entry->dataOffset;
    if (entry->method == kMethodStored) {
        if (!out.empty()) memcpy(out.data(), in, out.size());
    } else {
        Inflater inflater;
        std::string why;
        if (!inflater.Run(in, entry->packedSize, out, &why)) return Fail(error, why + ": " + what);
    }
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(out.data()), static_cast<uInt>(out.size()));
    if (crc != entry->crc) return Fail(error, "CRC mismatch: " + what);
    *data = std::move(out);
    return true;
}

}  // namespace vekui
