#include "utility/vekui/core/skinarchive.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

namespace vekui {
namespace {

constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflate = 8;

struct TestEntry {
    std::string name;
    std::string data;
    uint16_t method = kDeflate;
    uint16_t flags = 0;
    int64_t declaredSize = -1;   // the unpacked size the headers claim; -1: the real one
};

// An archive written here, with where each of its structures starts so that
// cases can damage one field.
struct Zip {
    std::string bytes;
    std::vector<size_t> local, central;
    size_t end = 0;

    void Put16(size_t at, uint16_t v) {
        bytes[at] = static_cast<char>(v);
        bytes[at + 1] = static_cast<char>(v >> 8);
    }
    void Put32(size_t at, uint32_t v) {
        Put16(at, static_cast<uint16_t>(v));
        Put16(at + 2, static_cast<uint16_t>(v >> 16));
    }
    uint32_t Get32(size_t at) const {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    }
    // Central directory fields of entry i, local header fields, end record fields.
    size_t C(size_t i, size_t field) const { return central[i] + field; }
    size_t L(size_t i, size_t field) const { return local[i] + field; }
    size_t E(size_t field) const { return end + field; }
};

std::string Deflate(const std::string& data) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&s, data.size()), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

void Append16(std::string& s, uint16_t v) {
    s += static_cast<char>(v);
    s += static_cast<char>(v >> 8);
}
void Append32(std::string& s, uint32_t v) {
    Append16(s, static_cast<uint16_t>(v));
    Append16(s, static_cast<uint16_t>(v >> 16));
}

// Both headers share everything from the version needed on.
void AppendCommon(std::string& s, const TestEntry& e, uint32_t crc, uint32_t packed, uint32_t size) {
    Append16(s, 20);
    Append16(s, e.flags);
    Append16(s, e.method);
    Append16(s, 0);       // time
    Append16(s, 0x21);    // date: 1980-01-01
    Append32(s, crc);
    Append32(s, packed);
    Append32(s, size);
    Append16(s, static_cast<uint16_t>(e.name.size()));
    Append16(s, 0);       // extra
}

Zip Build(const std::vector<TestEntry>& entries, const std::string& comment = "") {
    Zip zip;
    std::string directory;
    std::vector<size_t> centralInDirectory;
    for (const TestEntry& e : entries) {
        std::string packed = e.method == kDeflate ? Deflate(e.data) : e.data;
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
        uint32_t size = e.declaredSize < 0 ? static_cast<uint32_t>(e.data.size()) : static_cast<uint32_t>(e.declaredSize);
        zip.local.push_back(zip.bytes.size());
        Append32(zip.bytes, 0x04034b50);
        AppendCommon(zip.bytes, e, crc, static_cast<uint32_t>(packed.size()), size);
        zip.bytes += e.name;
        centralInDirectory.push_back(directory.size());
        Append32(directory, 0x02014b50);
        Append16(directory, 20);   // made by
        AppendCommon(directory, e, crc, static_cast<uint32_t>(packed.size()), size);
        Append16(directory, 0);    // comment
        Append16(directory, 0);    // disk
        Append16(directory, 0);    // internal attributes
        Append32(directory, 0);    // external attributes
        Append32(directory, static_cast<uint32_t>(zip.local.back()));
        directory += e.name;
        zip.bytes += packed;
    }
    size_t directoryOffset = zip.bytes.size();
    for (size_t at : centralInDirectory) zip.central.push_back(directoryOffset + at);
    zip.bytes += directory;
    zip.end = zip.bytes.size();
    Append32(zip.bytes, 0x06054b50);
    Append16(zip.bytes, 0);
    Append16(zip.bytes, 0);
    Append16(zip.bytes, static_cast<uint16_t>(entries.size()));
    Append16(zip.bytes, static_cast<uint16_t>(entries.size()));
    Append32(zip.bytes, static_cast<uint32_t>(directory.size()));
    Append32(zip.bytes, static_cast<uint32_t>(directoryOffset));
    Append16(zip.bytes, static_cast<uint16_t>(comment.size()));
    zip.bytes += comment;
    return zip;
}

const std::string kLayout = "<Window size=\"640,480\"><Include source=\"font.xml\"/>" + std::string(200, ' ') + "</Window>";
const std::string kPicture = "\x89PNG\r\n\x1a\n picture bytes";

std::vector<TestEntry> Sample() {
    return {
        {"Layout/Layout.xml", kLayout, kDeflate},
        {"Image/", "", kStored},
        {"Image/\xE5\x9B\xBE\xE6\xA0\x87.png", kPicture, kStored},   // Image/图标.png
        {"font.xml", "", kDeflate},
    };
}

std::string ReadOk(const CSkinArchive& archive, std::string_view name) {
    std::string data, error;
    EXPECT_TRUE(archive.Read(name, &data, &error)) << name << ": " << error;
    return data;
}

TEST(SkinArchive, ReadsStoredDeflatedAndDirectoryEntries) {
    Zip zip = Build(Sample(), "a comment after the end record");
    CSkinArchive archive;
    std::string error;
    ASSERT_TRUE(archive.Open(zip.bytes.data(), zip.bytes.size(), &error)) << error;
    EXPECT_TRUE(archive.IsOpen());
    EXPECT_EQ(archive.Names(), (std::vector<std::string>{"Layout/Layout.xml", "Image/",
                                                         "Image/\xE5\x9B\xBE\xE6\xA0\x87.png", "font.xml"}));
    EXPECT_EQ(ReadOk(archive, "Layout/Layout.xml"), kLayout);
    EXPECT_EQ(ReadOk(archive, "Image/\xE5\x9B\xBE\xE6\xA0\x87.png"), kPicture);
    EXPECT_EQ(ReadOk(archive, "Image/"), "");
    EXPECT_EQ(ReadOk(archive, "font.xml"), "");
}

TEST(SkinArchive, LookUpIgnoresAsciiCaseAndTakesBackslashes) {
    Zip zip = Build(Sample());
    CSkinArchive archive;
    std::string error;
    ASSERT_TRUE(archive.Open(zip.bytes.data(), zip.bytes.size(), &error)) << error;
    struct Case { const char* name; bool found; };
    const Case cases[] = {
        {"layout/layout.XML", true},
        {"LAYOUT\\Layout.xml", true},
        {"image\\\xE5\x9B\xBE\xE6\xA0\x87.PNG", true},
        {"Layout/Layout.xm", false},
        {"Layout/Layout.xml ", false},
        {"/Layout/Layout.xml", false},
        {"Image/\xE5\x9B\xBE.png", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(archive.Contains(c.name), c.found) << c.name;
        std::string data = "stale", why;
        EXPECT_EQ(archive.Read(c.name, &data, &why), c.found) << c.name << ": " << why;
        if (!c.found) {
            EXPECT_TRUE(data.empty()) << c.name;
            EXPECT_NE(why.find("no such entry"), std::string::npos) << why;
        }
    }
}

TEST(SkinArchive, EmptyArchiveOpensWithNoEntries) {
    Zip zip = Build({});
    CSkinArchive archive;
    std::string error, data;
    ASSERT_TRUE(archive.Open(zip.bytes.data(), zip.bytes.size(), &error)) << error;
    EXPECT_TRUE(archive.Names().empty());
    EXPECT_FALSE(archive.Read("Layout/Layout.xml", &data, &error));
}

// Field offsets within the headers.
enum : size_t {
    kCFlags = 8, kCMethod = 10, kCCrc = 16, kCPacked = 20, kCSize = 24, kCNameLength = 28, kCDisk = 34, kCLocal = 42,
    kLNameLength = 26, kLExtraLength = 28, kLName = 30,
    kEDisk = 4, kEEntriesOnDisk = 8, kEEntries = 10, kEDirectorySize = 12, kEDirectoryOffset = 16,
};

// One damaged field per case; the archive either does not open or the
// named entry does not read, with a reason that says why.
TEST(SkinArchive, DamagedArchivesFailWithAReason) {
    struct Case {
        const char* what;
        std::function<void(Zip&)> damage;
        const char* readName;   // null: Open itself fails
        const char* reason;
    };
    const Case cases[] = {
        {"no end record", [](Zip& z) { z.bytes[z.end] = 'X'; }, nullptr, "no end of central directory"},
        {"directory past the end record", [](Zip& z) { z.Put32(z.E(kEDirectoryOffset), static_cast<uint32_t>(z.end)); },
         nullptr, "central directory out of range"},
        {"directory size past the end record", [](Zip& z) { z.Put32(z.E(kEDirectorySize), 0x7FFFFFF0); }, nullptr,
         "central directory out of range"},
        {"more entries than the directory holds", [](Zip& z) { z.Put16(z.E(kEEntries), 60), z.Put16(z.E(kEEntriesOnDisk), 60); },
         nullptr, "central directory too small"},
        {"directory entry missing", [](Zip& z) { z.Put16(z.E(kEEntries), 5), z.Put16(z.E(kEEntriesOnDisk), 5); }, nullptr,
         "bad central directory entry"},
        {"name longer than the directory", [](Zip& z) { z.Put16(z.C(3, kCNameLength), 0xFFFF); }, nullptr,
         "central directory entry out of range"},
        {"local header past the directory", [](Zip& z) { z.Put32(z.C(0, kCLocal), static_cast<uint32_t>(z.central[0])); },
         nullptr, "bad local header"},
        {"local header offset far out", [](Zip& z) { z.Put32(z.C(0, kCLocal), 0xFFFFFFF0); }, nullptr, "bad local header"},
        {"local header of another entry", [](Zip& z) { z.Put32(z.C(0, kCLocal), static_cast<uint32_t>(z.local[2])); },
         nullptr, "does not match"},
        {"local signature", [](Zip& z) { z.bytes[z.local[2]] = 'Q'; }, nullptr, "bad local header"},
        {"local name longer than the archive", [](Zip& z) { z.Put16(z.L(0, kLNameLength), 0xFFFF); }, nullptr,
         "out of range"},
        {"local extra field past the directory", [](Zip& z) { z.Put16(z.L(3, kLExtraLength), 0x8000); }, nullptr,
         "out of range"},
        {"local name differs", [](Zip& z) { z.bytes[z.L(0, kLName)] = 'l'; }, nullptr, "does not match"},
        {"packed size past the directory", [](Zip& z) { z.Put32(z.C(0, kCPacked), 0x7FFFFFF0); }, nullptr,
         "entry data out of range"},
        {"data overlapping the next entry", [](Zip& z) { z.Put32(z.C(0, kCPacked), z.Get32(z.C(0, kCPacked)) + 31); },
         nullptr, "overlapping entries"},
        {"Zip64 entry count", [](Zip& z) { z.Put16(z.E(kEEntries), 0xFFFF), z.Put16(z.E(kEEntriesOnDisk), 0xFFFF); },
         nullptr, "Zip64"},
        {"Zip64 directory offset", [](Zip& z) { z.Put32(z.E(kEDirectoryOffset), 0xFFFFFFFF); }, nullptr, "Zip64"},
        {"Zip64 entry size", [](Zip& z) { z.Put32(z.C(2, kCSize), 0xFFFFFFFF); }, nullptr, "Zip64"},
        {"second disk", [](Zip& z) { z.Put16(z.E(kEDisk), 1); }, nullptr, "multi-disk"},
        {"entry on another disk", [](Zip& z) { z.Put16(z.C(1, kCDisk), 1); }, nullptr, "multi-disk"},
        {"encrypted directory", [](Zip& z) { z.Put16(z.C(1, kCFlags), 0x2000); }, nullptr, "encrypted central directory"},
        {"encrypted entry", [](Zip& z) { z.Put16(z.C(0, kCFlags), 0x0001); }, "Layout/Layout.xml", "encrypted entry"},
        {"strongly encrypted entry", [](Zip& z) { z.Put16(z.C(2, kCFlags), 0x0041); }, "Image/\xE5\x9B\xBE\xE6\xA0\x87.png",
         "encrypted entry"},
        {"bzip2 entry", [](Zip& z) { z.Put16(z.C(0, kCMethod), 12); }, "Layout/Layout.xml", "unsupported compression method 12"},
        {"bad CRC, deflated", [](Zip& z) { z.Put32(z.C(0, kCCrc), z.Get32(z.C(0, kCCrc)) ^ 1); }, "Layout/Layout.xml",
         "CRC mismatch"},
        {"bad CRC, stored", [](Zip& z) { z.bytes[z.L(2, kLName) + 16 + 3] ^= 0x20; }, "Image/\xE5\x9B\xBE\xE6\xA0\x87.png",
         "CRC mismatch"},
        {"stored sizes differ", [](Zip& z) { z.Put32(z.C(2, kCSize), 5); }, "Image/\xE5\x9B\xBE\xE6\xA0\x87.png",
         "two sizes"},
        {"deflate block of reserved type", [](Zip& z) { z.bytes[z.L(0, kLName) + 17] = 0x07; }, "Layout/Layout.xml",
         "corrupt deflate data"},
        {"deflate data cut short", [](Zip& z) { z.Put32(z.C(0, kCPacked), 4); }, "Layout/Layout.xml", "ends early"},
        {"declared size too small", [](Zip& z) { z.Put32(z.C(0, kCSize), 100); }, "Layout/Layout.xml",
         "more than its declared size"},
        {"declared size too large", [](Zip& z) { z.Put32(z.C(0, kCSize), 100000); }, "Layout/Layout.xml",
         "less than its declared size"},
        {"declared size past the limit", [](Zip& z) { z.Put32(z.C(0, kCSize), 0xFFFFFFF0); }, "Layout/Layout.xml",
         "entry too large"},
    };
    for (const Case& c : cases) {
        Zip zip = Build(Sample());
        c.damage(zip);
        CSkinArchive archive;
        std::string error, data;
        bool opened = archive.Open(zip.bytes.data(), zip.bytes.size(), &error);
        if (c.readName) {
            ASSERT_TRUE(opened) << c.what << ": " << error;
            EXPECT_FALSE(archive.Read(c.readName, &data, &error)) << c.what;
            EXPECT_TRUE(data.empty()) << c.what;
        } else {
            EXPECT_FALSE(opened) << c.what;
            EXPECT_FALSE(archive.IsOpen()) << c.what;
            EXPECT_TRUE(archive.Names().empty()) << c.what;
        }
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

// Cut anywhere, with or without the end record kept at the end: never
// opens, never reads outside the bytes (AddressSanitizer watches the copy
// made to the exact size).
TEST(SkinArchive, TruncatedAnywhereDoesNotOpen) {
    Zip zip = Build(Sample(), "comment");
    std::string endRecord = zip.bytes.substr(zip.end);
    for (size_t cut = 0; cut < zip.end; ++cut) {
        for (bool keepEnd : {false, true}) {
            std::string bytes = zip.bytes.substr(0, cut) + (keepEnd ? endRecord : "");
            std::vector<char> exact(bytes.begin(), bytes.end());
            CSkinArchive archive;
            std::string error;
            EXPECT_FALSE(archive.Open(exact.data(), exact.size(), &error)) << cut << (keepEnd ? " + end record" : "");
        }
    }
}

TEST(SkinArchive, DuplicateNamesAreRefused) {
    Zip zip = Build({{"Layout/A.xml", "one"}, {"layout\\a.XML", "two"}});
    CSkinArchive archive;
    std::string error;
    EXPECT_FALSE(archive.Open(zip.bytes.data(), zip.bytes.size(), &error));
    EXPECT_NE(error.find("duplicate entry"), std::string::npos) << error;
}

TEST(SkinArchive, EntryCountIsBounded) {
    for (size_t count : {CSkinArchive::kMaxEntries, CSkinArchive::kMaxEntries + 1}) {
        std::vector<TestEntry> entries;
        for (size_t i = 0; i < count; ++i) entries.push_back({"e" + std::to_string(i), "", kStored});
        Zip zip = Build(entries);
        CSkinArchive archive;
        std::string error;
        bool fits = count <= CSkinArchive::kMaxEntries;
        EXPECT_EQ(archive.Open(zip.bytes.data(), zip.bytes.size(), &error), fits) << count << ": " << error;
        if (!fits) EXPECT_NE(error.find("too many entries"), std::string::npos) << error;
    }
}

// A few bytes of deflate that unpack to much more than the headers say are
// refused without producing the rest; a size claimed past the limit is
// refused before anything is allocated.
TEST(SkinArchive, ZipBombsAreRefused) {
    const std::string zeros(16 << 20, '\0');
    struct Case { const char* what; int64_t declared; const char* reason; };
    const Case cases[] = {
        {"declares 1 KiB", 1024, "more than its declared size"},
        {"declares nothing", 0, "more than its declared size"},
        {"declares one byte past the limit", int64_t{CSkinArchive::kMaxEntrySize} + 1, "entry too large"},
        {"declares 4 GiB", 0xFFFFFFFE, "entry too large"},
    };
    for (const Case& c : cases) {
        Zip zip = Build({{"bomb.xml", zeros, kDeflate, 0, c.declared}});
        ASSERT_LT(zip.bytes.size(), 64u << 10) << c.what;
        CSkinArchive archive;
        std::string error, data;
        ASSERT_TRUE(archive.Open(zip.bytes.data(), zip.bytes.size(), &error)) << c.what << ": " << error;
        EXPECT_FALSE(archive.Read("bomb.xml", &data, &error)) << c.what;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    }
}

// The largest entry reads; reading it again and again ends at the
// archive's total.
TEST(SkinArchive, TotalReadIsBounded) {
    Zip zip = Build({{"big.bin", std::string(CSkinArchive::kMaxEntrySize, 'x')}});
    CSkinArchive archive;
    std::string error, data;
    ASSERT_TRUE(archive.Open(zip.bytes.data(), zip.bytes.size(), &error)) << error;
    const uint64_t fits = CSkinArchive::kMaxTotalSize / CSkinArchive::kMaxEntrySize;
    for (uint64_t i = 0; i < fits; ++i) {
        ASSERT_TRUE(archive.Read("big.bin", &data, &error)) << i << ": " << error;
        EXPECT_EQ(data.size(), CSkinArchive::kMaxEntrySize);
    }
    EXPECT_FALSE(archive.Read("big.bin", &data, &error));
    EXPECT_NE(error.find("read limit"), std::string::npos) << error;
}

TEST(SkinArchive, NotAnArchive) {
    const std::string inputs[] = {"", "PK", std::string(21, '\0'), std::string(100000, 'P'), "PK\x05\x06"};
    for (const std::string& input : inputs) {
        CSkinArchive archive;
        std::string error;
        EXPECT_FALSE(archive.Open(input.data(), input.size(), &error)) << input.size();
        EXPECT_FALSE(error.empty());
    }
}

// A failed Open forgets the archive that was open before.
TEST(SkinArchive, ReopenReplacesTheEntries) {
    Zip good = Build(Sample());
    CSkinArchive archive;
    std::string error, data;
    ASSERT_TRUE(archive.Open(good.bytes.data(), good.bytes.size(), &error)) << error;
    Zip other = Build({{"other.xml", "<x/>"}});
    ASSERT_TRUE(archive.Open(other.bytes.data(), other.bytes.size(), &error)) << error;
    EXPECT_EQ(archive.Names(), std::vector<std::string>{"other.xml"});
    EXPECT_FALSE(archive.Contains("font.xml"));
    EXPECT_FALSE(archive.Open("junk", 4, &error));
    EXPECT_FALSE(archive.IsOpen());
    EXPECT_FALSE(archive.Contains("other.xml"));
}

}  // namespace
}  // namespace vekui
