// The folder walk under the recursive deletion: every entry once, without
// "." and "..", also when the visitor deletes what it is given.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/testenv.h"
#include "utility/base/folderwalk.h"

using namespace vektest;

namespace {

const std::set<std::wstring> kNames = {L"a.txt", L"b.txt", L"c.txt", L"sub", L"文件.txt"};

void Fill(const TempDir& dir) {
    ::CreateDirectoryW((dir / L"sub").c_str(), nullptr);
    for (const auto& name : kNames) {
        if (name != L"sub") WriteBytes(dir / name, "x");
    }
}

}  // namespace

TEST(FolderWalk, EveryEntryOnceWithItsKind) {
    TempDir dir;
    Fill(dir);
    std::set<std::wstring> seen, folders;
    ASSERT_TRUE(vek::ForEachEntry(dir.path(), [&](const WIN32_FIND_DATAW& entry) {
        EXPECT_TRUE(seen.insert(entry.cFileName).second) << "twice";
        if (vek::IsFolderEntry(entry)) folders.insert(entry.cFileName);
        EXPECT_FALSE(vek::IsLinkEntry(entry));
    }));
    EXPECT_EQ(seen, kNames);
    EXPECT_EQ(folders, std::set<std::wstring>{L"sub"});
}

TEST(FolderWalk, TheVisitorMayDeleteWhatItIsGiven) {
    TempDir dir;
    Fill(dir);
    std::set<std::wstring> seen;
    ASSERT_TRUE(vek::ForEachEntry(dir.path(), [&](const WIN32_FIND_DATAW& entry) {
        seen.insert(entry.cFileName);
        const std::wstring path = dir / entry.cFileName;
        EXPECT_TRUE(vek::IsFolderEntry(entry) ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str()));
    }));
    EXPECT_EQ(seen, kNames);
    EXPECT_TRUE(vek::FolderEntries(dir.path()).empty());
}

TEST(FolderWalk, AFolderThatCannotBeSearched) {
    TempDir dir;
    EXPECT_FALSE(vek::ForEachEntry(dir / L"missing", [](const WIN32_FIND_DATAW&) { ADD_FAILURE(); }));
    EXPECT_TRUE(vek::FolderEntries(dir / L"missing").empty());
    EXPECT_TRUE(vek::ForEachEntry(dir.path(), [](const WIN32_FIND_DATAW&) { ADD_FAILURE() << "empty"; }));
}
