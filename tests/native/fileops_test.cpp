// File operations of the native layer: the errors they carry, what counts as
// already done, and deletions that meet a locked file.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "tests/support/system.h"
#include "tests/support/testenv.h"
#include "utility/base/fileops.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

vek::UniqueFile Lock(const std::wstring& path) {
    return vek::UniqueFile(
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool IsSharingOrAccess(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED; }

}  // namespace

TEST(FileOps, DeletingWhatIsGoneIsDone) {
    TempDir dir;
    const std::wstring missing = dir / L"missing.txt";
    for (const vek::Status status : {vek::DeleteQuietly(missing), vek::DeleteAfterReboot(missing)}) {
        EXPECT_TRUE(status.ok);
        EXPECT_TRUE(status.NotFound());
    }
    EXPECT_FALSE(vek::DeleteFileOrTree(missing, nullptr)) << "nothing to delete";
    EXPECT_TRUE(vek::DeleteWithRetryBox(missing));
}

TEST(FileOps, ALockedFileFailsWithTheReason) {
    TempDir dir;
    const std::wstring file = dir / L"locked.txt";
    ASSERT_TRUE(WriteBytes(file, "x"));
    vek::UniqueFile lock = Lock(file);
    ASSERT_TRUE(lock);

    const vek::Status quiet = vek::DeleteQuietly(file);
    EXPECT_FALSE(quiet.ok);
    EXPECT_NE(quiet.error, 0u) << "the shell's result";
    EXPECT_TRUE(Exists(file));

    // Wine's shell answers 0 to this move and leaves the file: still a failure.
    const vek::Status moved = vek::MovePath(file, dir / L"aside.txt");
    EXPECT_FALSE(moved.ok);
    EXPECT_TRUE(Exists(file));
    EXPECT_FALSE(Exists(dir / L"aside.txt"));

    ASSERT_TRUE(WriteBytes(dir / L"new.txt", "y"));
    const vek::Status renamed = vek::RenamePath(dir / L"new.txt", file);
    EXPECT_FALSE(renamed.ok);
    EXPECT_TRUE(IsSharingOrAccess(renamed.error)) << renamed.error;

    lock.reset();
    EXPECT_TRUE(vek::RenamePath(dir / L"new.txt", file).ok);
    EXPECT_EQ(ReadBytes(file), "y");
    EXPECT_TRUE(vek::DeleteQuietly(file).ok);
    EXPECT_FALSE(Exists(file));
}

TEST(FileOps, TreeDeletionReportsEachFileThatStays) {
    TempDir dir;
    const std::wstring top = dir / L"tree";
    ASSERT_TRUE(vek::MakeFolder(top + L"\\a\\b").ok) << "every missing parent";
    for (const wchar_t* name : {L"\\one.txt", L"\\a\\two.txt", L"\\a\\b\\locked.txt"})
        ASSERT_TRUE(WriteBytes(top + name, "x"));
    ::SetFileAttributesW((top + L"\\a\\two.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    vek::UniqueFile lock = Lock(top + L"\\a\\b\\locked.txt");
    ASSERT_TRUE(lock);

    std::vector<std::pair<std::wstring, DWORD>> reported;
    const vek::DeleteFailure onFailure = [&](const std::wstring& path, DWORD error) {
        reported.emplace_back(path, error);
    };
    EXPECT_TRUE(vek::DeleteFileOrTree(top, &onFailure));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].first, top + L"\\a\\b\\locked.txt");
    EXPECT_TRUE(IsSharingOrAccess(reported[0].second)) << reported[0].second;
    EXPECT_FALSE(Exists(top + L"\\one.txt"));
    EXPECT_FALSE(Exists(top + L"\\a\\two.txt")) << "read-only inside a tree goes";
    EXPECT_TRUE(Exists(top + L"\\a\\b\\locked.txt"));
}

TEST(FileOps, AReadOnlyFileGivenDirectlyStaysAndIsReported) {
    TempDir dir;
    const std::wstring file = dir / L"readonly.txt";
    ASSERT_TRUE(WriteBytes(file, "x"));
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<DWORD> errors;
    const vek::DeleteFailure onFailure = [&](const std::wstring&, DWORD error) { errors.push_back(error); };
    EXPECT_TRUE(vek::DeleteFileOrTree(file, &onFailure));
    EXPECT_EQ(errors, std::vector<DWORD>{ERROR_ACCESS_DENIED});
    EXPECT_TRUE(Exists(file));
    EXPECT_TRUE(vek::DeleteFileOrTree(file, nullptr)) << "without a callback, not reported";
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileOps, ShellCopiesAndMovesCarryTheShellResult) {
    TempDir dir;
    ASSERT_TRUE(vek::MakeFolder(dir / L"from\\inner").ok);
    ASSERT_TRUE(WriteBytes(dir / L"from\\inner\\f.txt", "content"));
    EXPECT_TRUE(vek::CopyPath(dir / L"from", dir / L"copy").ok);
    EXPECT_EQ(ReadBytes(dir / L"copy\\inner\\f.txt"), "content");
    EXPECT_TRUE(vek::MovePath(dir / L"copy", dir / L"moved").ok);
    EXPECT_FALSE(Exists(dir / L"copy"));
    EXPECT_EQ(ReadBytes(dir / L"moved\\inner\\f.txt"), "content");

    // A copy over a file that another handle holds without sharing.
    ASSERT_TRUE(WriteBytes(dir / L"held.txt", "old"));
    vek::UniqueFile lock = Lock(dir / L"held.txt");
    ASSERT_TRUE(lock);
    const vek::Status failed = vek::CopyPath(dir / L"moved\\inner\\f.txt", dir / L"held.txt");
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.error, 0u) << "the shell's result";
    lock.reset();
    EXPECT_EQ(ReadBytes(dir / L"held.txt"), "old");
}

TEST(FileOps, TemporaryNamesAndModulePaths) {
    TempDir dir;
    const auto first = vek::MakeTempFile(dir.path(), L"JsZip");
    const auto second = vek::MakeTempFile(dir.path(), L"JsZip");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(Exists(*first));
    EXPECT_EQ(first->substr(dir.path().size() + 1, 3), L"JsZ");
    EXPECT_FALSE(vek::MakeTempFile(dir / L"missing", L"JsZip"));

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(vek::LoadedModulePath(std::nullopt), self);
    EXPECT_EQ(vek::LoadedModulePath(L"vek-not-loaded.dll"), self) << "a module not loaded: the program";
    EXPECT_NE(vek::LoadedModulePath(L"kernel32.dll"), self);
}

TEST(FileOps, ReadingAFileStopsAtTheSizeLimit) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"four.bin", "abcd"));
    ASSERT_TRUE(WriteBytes(dir / L"empty.bin", ""));
    ::CreateDirectoryW((dir / L"folder").c_str(), nullptr);
    const struct {
        const wchar_t* name;
        unsigned long long limit;
        bool ok;
        DWORD error;
        std::string bytes;
    } cases[] = {
        {L"four.bin", 4, true, ERROR_SUCCESS, "abcd"},
        {L"four.bin", 100, true, ERROR_SUCCESS, "abcd"},
        {L"four.bin", 3, false, ERROR_FILE_TOO_LARGE, ""},
        {L"empty.bin", 0, true, ERROR_SUCCESS, ""},
        {L"missing.bin", 100, false, ERROR_FILE_NOT_FOUND, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8(c.name) + " " + std::to_string(c.limit));
        std::string bytes = "left over";
        const vek::Status read = vek::ReadFileLimited(dir / c.name, c.limit, &bytes);
        EXPECT_EQ(read.ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(read.error, c.error);
        }
        EXPECT_EQ(bytes, c.bytes);
    }
    std::string bytes;
    EXPECT_FALSE(vek::ReadFileLimited(dir / L"folder", 100, &bytes).ok) << "a folder is not a file";
}

TEST(FileOps, FreshFoldersAreNewEachTime) {
    TempDir dir;
    const std::wstring parent = dir.path() + L"\\";
    const auto first = vek::MakeFreshFolder(parent, L"Work-");
    const auto second = vek::MakeFreshFolder(parent, L"Work-");
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    for (const std::wstring& folder : {*first, *second}) {
        EXPECT_EQ(folder.rfind(parent + L"Work-", 0), 0u);
        EXPECT_EQ(folder.size(), parent.size() + 5 + 16);
        EXPECT_EQ(::GetFileAttributesW(folder.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    }
    EXPECT_FALSE(vek::MakeFreshFolder(dir / L"missing\\", L"Work-")) << "the parent is not made";
}

TEST(FileOps, AFolderGoesAtRebootAfterItsFiles) {
    TempDir dir;
    const std::wstring folder = dir / L"work";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    for (const wchar_t* name : {L"\\a.exe", L"\\b.dll"}) ASSERT_TRUE(WriteBytes(folder + name, "x"));
    vek::DeleteFolderAfterReboot(folder);
    const std::vector<std::wstring> pending = PendingDeletions();
    const auto at = [&](const std::wstring& path) {
        return std::find(pending.rbegin(), pending.rend(), L"\\??\\" + path) - pending.rbegin();
    };
    const auto count = static_cast<std::ptrdiff_t>(pending.size());
    ASSERT_LT(at(folder), count);
    EXPECT_LT(at(folder), at(folder + L"\\a.exe")) << "the folder is named after its files";
    EXPECT_LT(at(folder), at(folder + L"\\b.dll"));
    EXPECT_LT(at(folder + L"\\a.exe"), count);
    EXPECT_LT(at(folder + L"\\b.dll"), count);
    EXPECT_EQ(at(folder + L"\\sub"), count) << "subfolders are left alone";
}
