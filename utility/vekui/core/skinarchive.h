// The skin: a zip archive held in memory (stored and deflate entries, an
// empty password), read with bounds on everything it claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vekui {

// Where layouts and images are read from.
class ISkinFiles {
public:
    virtual ~ISkinFiles() = default;
    virtual bool Read(std::string_view name, std::string* data, std::string* error) const = 0;
};

class CSkinArchive : public ISkinFiles {
public:
    // Limits against hostile archives.
    static constexpr size_t kMaxEntries = 4096;
    static constexpr uint64_t kMaxEntrySize = 64ull << 20;     // one file, unpacked
    static constexpr uint64_t kMaxTotalSize = 256ull << 20;    // everything read over the archive's life

    // Reads the central directory; the bytes must outlive the archive.
    // False with a reason for anything that is not a readable zip.
    bool Open(const void* bytes, size_t size, std::string* error);
    bool IsOpen() const;
    // Names as stored ('/' separated); look-ups ignore ASCII case and
    // accept '\\' for '/'.
    std::vector<std::string> Names() const;
    bool Contains(std::string_view name) const;
    // The whole entry, checked against its CRC-32. False with a reason.
    bool Read(std::string_view name, std::string* data, std::string* error) const override;

private:
    struct Entry {
        std::string name;
        uint16_t flags = 0;
        uint16_t method = 0;
        uint32_t crc = 0;
        uint32_t packedSize = 0;
        uint32_t size = 0;
        uint32_t localOffset = 0;
        uint32_t dataOffset = 0;   // past the local header, known to fit the buffer
    };

    bool ReadDirectory(size_t offset, size_t size, size_t count, std::string* error);
    bool ReadEntry(size_t* offset, size_t end, std::string* error);
    bool LocateData(Entry& entry, std::string* error) const;
    bool CheckOverlaps(std::string* error) const;
    const Entry* Find(std::string_view name) const;

    const unsigned char* bytes_ = nullptr;
    size_t size_ = 0;
    size_t directoryOffset_ = 0;
    std::vector<Entry> entries_;
    std::unordered_map<std::string, size_t> index_;   // folded name -> entry
    // Read is logically const; the budget is the archive's, not one call's.
    mutable uint64_t totalRead_ = 0;
};

}  // namespace vekui
