// Extraction over files that another process holds open without sharing:
// what the error callback's answer does to the files and to the result; and
// a payload of the product's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <7z/7zCrc.h>
}

#include "tests/support/probe.h"

using namespace vektest;

namespace {

vek::UniqueFile Lock(const std::wstring& path) {
    return vek::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
}

bool Contains(const std::vector<std::string>& records, const std::string& text) {
    return std::find(records.begin(), records.end(), text) != records.end();
}

}  // namespace

TEST(ExtractionErrors, CallbackAnswersDecide) {
    // two.7z holds AA_first.txt, then ZZ_last.txt.
    const struct {
        const wchar_t* locked;
        const char* answer;  // Lua expression returned by the callback, or nil for none
        bool releaseWhenAsked;
        const char* result;
        bool firstWritten, lastWritten;
    } cases[] = {
        {L"ZZ_last.txt", "1", false, "false", true, false},   // skipping the last file fails the call
        {L"AA_first.txt", "1", false, "true", false, true},   // a later file makes it good again
        {L"AA_first.txt", "0", true, "true", true, true},     // retried after the lock went away
        {L"AA_first.txt", "0", false, "false", false, false},  // retried, still locked: the end
        {L"AA_first.txt", "2", false, "false", false, false},  // abort
        {L"AA_first.txt", nullptr, false, "false", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << Utf8(c.locked) << " answer " << (c.answer ? c.answer : "none"));
        Probe probe;
        const std::wstring out = probe.dir() / L"out";
        ::CreateDirectoryW(out.c_str(), nullptr);
        vek::UniqueFile lock = Lock(out + L"\\" + c.locked);
        ASSERT_TRUE(lock.valid());
        const std::string callback =
            c.answer ? std::string(", nil, function(path, code) probe_record('asked', path, code) "
                                   "GLibTab.kernel32:Get('Sleep')(") +
                           (c.releaseWhenAsked ? "1500" : "0") + ") return " + c.answer + " end"
                     : "";
        probe.Script("probe_record(tostring(Lua_UnCompress7z(" + LuaQuote(BuildPath(L"archives\\two.7z")) + ", " +
                     LuaQuote(out) + ", true" + callback + ")))\n");
        if (c.releaseWhenAsked) {
            probe.WhileRunning([&](DWORD) {
                for (int i = 0; i < 100 && probe.Records().empty(); ++i) ::Sleep(50);
                lock.reset();
            });
        }
        probe.Run();
        const auto records = probe.Records();
        ASSERT_FALSE(records.empty());
        if (c.answer) {
            EXPECT_EQ(records[0], "asked\t" + Utf8(out) + "\\" + Utf8(c.locked) + "\t32");
        }
        EXPECT_TRUE(Contains(records, c.result)) << testing::PrintToString(records);
        lock.reset();
        EXPECT_EQ(ReadBytes(out + L"\\AA_first.txt").size() == 120, c.firstWritten);
        EXPECT_EQ(ReadBytes(out + L"\\ZZ_last.txt").size() == 110, c.lastWritten);
    }
}

TEST(ExtractionTimes, LastWriteTimesComeFromTheArchive) {
    Probe probe;
    const std::wstring out = probe.dir() / L"out";
    ::CreateDirectoryW(out.c_str(), nullptr);
    probe.Script("Lua_UnCompress7z(" + LuaQuote(BuildPath(L"archives\\two.7z")) + ", " + LuaQuote(out) + ", true)\n")
        .Run();
    for (const wchar_t* name : {L"AA_first.txt", L"ZZ_last.txt"}) {
        WIN32_FILE_ATTRIBUTE_DATA source = {}, extracted = {};
        ASSERT_TRUE(::GetFileAttributesExW(BuildPath(std::wstring(L"archives\\small\\") + name).c_str(),
                                           GetFileExInfoStandard, &source));
        ASSERT_TRUE(::GetFileAttributesExW((out + L"\\" + name).c_str(), GetFileExInfoStandard, &extracted));
        EXPECT_EQ(::CompareFileTime(&source.ftLastWriteTime, &extracted.ftLastWriteTime), 0) << Utf8(name);
    }
}

// A payload of the product's installed size from the installer's own
// resource, in one solid block: the decoded block, the copy of the stored
// archive and the installer's image share the 2 GB of a 32-bit process.
TEST(ExtractionSizes, APayloadOfTheProductsSize) {
    Probe probe(L"product_sized");
    const std::wstring out = probe.dir() / L"out";
    ASSERT_TRUE(::CreateDirectoryW(out.c_str(), nullptr));
    probe.Script("probe_record(tostring(Lua_UnCompress7z('APP.7Z', " + LuaQuote(out) + ")))\n")
        .Timeout(120000)  // emulated machines too
        .Run();
    const auto records = probe.Records();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0], "true");
    const auto manifest = ReadLines(BuildPath(L"product-sized\\manifest.txt"));
    ASSERT_FALSE(manifest.empty());
    CrcGenerateTable();
    for (const std::string& line : manifest) {
        std::istringstream fields(line);
        std::string name, crc;
        size_t size = 0;
        std::getline(fields, name, '\t');
        fields >> size >> crc;
        const std::string data = ReadBytes(out + L"\\" + Wide(name));
        char actual[9];
        std::snprintf(actual, sizeof actual, "%08x", static_cast<unsigned>(CrcCalc(data.data(), data.size())));
        EXPECT_EQ(data.size(), size) << name;
        EXPECT_EQ(actual, crc) << name;
    }
}

namespace {

// CRC-32 and size of a file, read in pieces.
std::pair<uint64_t, uint32_t> SizeAndCrc(const std::wstring& path) {
    vek::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::vector<unsigned char> piece(4 << 20);
    uint64_t size = 0;
    uint32_t crc = CRC_INIT_VAL;
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr) && got) {
        crc = CrcUpdate(crc, piece.data(), got);
        size += got;
    }
    return {size, CRC_GET_DIGEST(crc)};
}

// On the 32-bit installer: reserves the free address space in 256 and
// 64 MiB pieces and hands two 64 MiB pieces back, so that no free block
// larger than 128 MiB is left.
const char kSqueeze[] = R"(
local VirtualAlloc = GLibTab.kernel32:Get("VirtualAlloc", "uint")
local VirtualFree = GLibTab.kernel32:Get("VirtualFree", "bool")
local held = {}
for _, mib in ipairs({256, 64}) do
    while true do
        local at = VirtualAlloc(nil, mib * 1048576, 0x2000, 1)  -- MEM_RESERVE, PAGE_NOACCESS
        if at == 0 then break end
        held[#held + 1] = at
    end
end
for i = 1, 2 do VirtualFree(table.remove(held), 0, 0x8000) end  -- MEM_RELEASE
)";

}  // namespace

// A payload of 600 MiB (one file in one solid block) streams through a
// window of its 16 MiB dictionary: the extraction's peak private bytes stay
// below window + 32 MiB, and on the 32-bit build it goes through with no
// free block of address space larger than 128 MiB, where a block decoded
// whole needs 600 MiB in one piece.
TEST(ExtractionSizes, ALargePayloadInLittleAddressSpace) {
    const bool wide = sizeof(void*) == 8;
    const int peakAt = wide ? 64 : 36;  // PeakPagefileUsage in PROCESS_MEMORY_COUNTERS
    Probe probe(L"large_payload");
    const std::wstring out = probe.dir() / L"out";
    ASSERT_TRUE(::CreateDirectoryW(out.c_str(), nullptr));
    std::ostringstream script;
    script << (wide ? "" : kSqueeze) << "local counters = RawBuffer.New(80)\n"
           << "local info = GLibTab.psapi:Get('GetProcessMemoryInfo', 'bool')\n"
           << "local me = GLibTab.kernel32:Get('GetCurrentProcess', 'ptr')()\n"
           << "local function peak() counters:OffsetSetAsUInt32(0, 80) info(me, counters, 80) "
           << "return counters:OffsetGetAsUInt32(" << peakAt << ") end\n"
           << "local before = peak()\n"
           << "local ok = Lua_UnCompress7z('APP.7Z', " << LuaQuote(out) << ")\n"
           << "probe_record(tostring(ok), string.format('%d', peak() - before))\n";
    probe.Script(script.str()).Timeout(300000).Run();  // emulated machines too
    const auto records = probe.Records();
    ASSERT_FALSE(records.empty());
    const size_t tab = records[0].find('\t');
    ASSERT_NE(tab, std::string::npos) << records[0];
    EXPECT_EQ(records[0].substr(0, tab), "true");
    EXPECT_LT(std::stoll(records[0].substr(tab + 1)), (16 + 32) << 20);
    const auto manifest = ReadLines(BuildPath(L"large-payload\\manifest.txt"));
    ASSERT_EQ(manifest.size(), 1u);
    std::istringstream fields(manifest[0]);
    std::string name, crc;
    uint64_t size = 0;
    fields >> name >> size >> crc;
    CrcGenerateTable();
    const auto [actualSize, actualCrc] = SizeAndCrc(out + L"\\large.bin");
    char actual[9];
    std::snprintf(actual, sizeof actual, "%08x", static_cast<unsigned>(actualCrc));
    EXPECT_EQ(actualSize, size);
    EXPECT_EQ(actual, crc);
}
