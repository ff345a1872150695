// The native extraction: old files survive an entry that fails, no temporary
// file is left behind, refusals are reported by reason, and memory errors
// end as results instead of exceptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <7z/7zTypes.h>
}

#include "tests/support/testenv.h"
#include "utility/base/archive/sevenzip.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

const std::string kOld = "old content\n";

std::wstring Archive(const wchar_t* name) { return BuildPath(std::wstring(L"archives\\") + name); }

std::set<std::wstring> Names(const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW entry;
    vek::UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.insert(name);
    } while (::FindNextFileW(search.get(), &entry));
    return names;
}

vek::UniqueFile Lock(const std::wstring& path) {
    return vek::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
}

}  // namespace

TEST(Replacement, TheOldFileSurvivesAnEntryThatFails) {
    enum class Callback { None, Skip, Abort, Retry, ReleaseAndRetry, Throw };
    const struct {
        const char* label;
        const wchar_t* archive;
        const wchar_t* target;  // the old file in question
        bool locked, readOnly;
        Callback callback;
        int code;
        DWORD error;
        bool replaced;
    } cases[] = {
        {"damaged entry", L"broken-entry.7z", L"AA_first.txt", false, false, Callback::None, SZ_ERROR_CRC, 0, false},
        {"locked, no callback", L"two.7z", L"AA_first.txt", true, false, Callback::None, 11, 32, false},
        {"locked, aborted", L"two.7z", L"AA_first.txt", true, false, Callback::Abort, 11, 32, false},
        {"locked last file, skipped", L"two.7z", L"ZZ_last.txt", true, false, Callback::Skip, 11, 32, false},
        {"locked, retried in vain", L"two.7z", L"AA_first.txt", true, false, Callback::Retry, 11, 32, false},
        {"locked, released, retried", L"two.7z", L"AA_first.txt", true, false, Callback::ReleaseAndRetry, 0, 0, true},
        {"locked, callback out of memory", L"two.7z", L"AA_first.txt", true, false, Callback::Throw, 2, 0, false},
        {"read-only", L"two.7z", L"AA_first.txt", false, true, Callback::None, 0, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::wstring target = dir / c.target;
        for (const wchar_t* name : {L"AA_first.txt", L"ZZ_last.txt"}) ASSERT_TRUE(WriteBytes(dir / name, kOld));
        if (c.readOnly) ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
        vek::UniqueFile lock;
        if (c.locked) lock = Lock(target);
        std::vector<std::pair<std::wstring, DWORD>> asked;
        vek::ExtractCallbacks callbacks;
        if (c.callback != Callback::None) {
            callbacks.onCreateError = [&](const std::wstring& path, DWORD error) {
                asked.emplace_back(path, error);
                if (c.callback == Callback::Throw) throw std::bad_alloc();
                if (c.callback == Callback::ReleaseAndRetry) lock.reset();
                return c.callback == Callback::Skip ? 1 : c.callback == Callback::Abort ? 2 : 0;
            };
        }
        const vek::ExtractResult result = vek::Extract7zFile(Archive(c.archive), dir.path(), callbacks);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.systemError, c.error);
        if (c.locked && c.callback != Callback::None) {
            ASSERT_FALSE(asked.empty());
            EXPECT_EQ(asked[0].first, target);  // the final path, not the temporary one
            EXPECT_EQ(asked[0].second, 32u);
        }
        lock.reset();
        EXPECT_EQ(ReadBytes(target) == kOld, !c.replaced);
        EXPECT_EQ(Names(dir.path()), (std::set<std::wstring>{L"AA_first.txt", L"ZZ_last.txt"}));
    }
}

TEST(Refusals, ReportedByReasonWhileTheOtherEntriesGoOn) {
    const struct {
        const wchar_t* archive;
        const wchar_t* name;
        vek::EntryRefusal why;
    } cases[] = {
        {L"evil-parent.7z", L"..\\first.txt", vek::EntryRefusal::LeavesDestination},
        {L"evil-drive.7z", L"C:_first.txt", vek::EntryRefusal::LeavesDestination},
        {L"renamed-dot.7z", L"AA_first.tx.", vek::EntryRefusal::RenamedByWindows},
        {L"renamed-nul.7z", L"nul.AA_first", vek::EntryRefusal::RenamedByWindows},
        {L"renamed-com.7z", L"com1.tar.gzz", vek::EntryRefusal::RenamedByWindows},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.archive));
        TempDir dir;
        std::vector<std::pair<std::wstring, vek::EntryRefusal>> refused;
        vek::ExtractCallbacks callbacks;
        callbacks.onRefused = [&](const std::wstring& name, vek::EntryRefusal why) { refused.emplace_back(name, why); };
        const vek::ExtractResult result = vek::Extract7zFile(Archive(c.archive), dir.path(), callbacks);
        EXPECT_EQ(result.code, 11);
        EXPECT_EQ(result.systemError, 0u);
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0].first, c.name);
        EXPECT_EQ(refused[0].second, c.why);
        EXPECT_EQ(Names(dir.path()), std::set<std::wstring>{L"ZZ_last.txt"});
    }
}

TEST(ArchiveFile, OneThatCannotBeOpenedKeepsItsSystemError) {
    TempDir dir;
    const vek::ExtractResult result = vek::Extract7zFile(dir / L"none.7z", dir.path(), {});
    EXPECT_EQ(result.code, SZ_ERROR_READ);
    EXPECT_EQ(result.systemError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

namespace {

// Bytes in pages that can only be read, as a mapped resource is.
class ReadOnlyBytes {
public:
    explicit ReadOnlyBytes(const std::string& bytes) : size_(bytes.size()) {
        pages_ = ::VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!pages_) return;
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(pages_));
        DWORD old = 0;
        ::VirtualProtect(pages_, size_, PAGE_READONLY, &old);
    }
    ~ReadOnlyBytes() {
        if (pages_) ::VirtualFree(pages_, 0, MEM_RELEASE);
    }
    ReadOnlyBytes(const ReadOnlyBytes&) = delete;
    ReadOnlyBytes& operator=(const ReadOnlyBytes&) = delete;
    std::string_view bytes() const { return {static_cast<const char*>(pages_), size_}; }

private:
    size_t size_;
    void* pages_ = nullptr;
};

}  // namespace

// The payload resource is read where it lies, in read-only pages with its
// first two bytes exchanged, and extracts as the archive file does.
TEST(StoredArchive, ReadWhereItLies) {
    for (const wchar_t* name : {L"lzma2.7z", L"blocks.7z", L"bcj2.7z", L"two.7z"}) {
        SCOPED_TRACE(Utf8(name));
        std::string stored = ReadBytes(Archive(name));
        ASSERT_GT(stored.size(), 2u);
        std::swap(stored[0], stored[1]);
        const ReadOnlyBytes resource(stored);
        TempDir fromFile, fromMemory;
        ASSERT_TRUE(vek::Extract7zFile(Archive(name), fromFile.path(), {}).ok());
        ASSERT_TRUE(vek::Extract7zStored(resource.bytes(), fromMemory.path(), {}).ok());
        EXPECT_EQ(resource.bytes(), stored);
        EXPECT_EQ(Names(fromMemory.path()), Names(fromFile.path()));
    }
}
