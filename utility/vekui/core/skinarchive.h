// The skin: a zip archive held in memory (stored and deflate entries, an
// empty password), read with bounds on everything it claims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
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
};

}  // namespace vekui
