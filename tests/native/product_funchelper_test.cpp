// func_helper.dll of the payload, loaded by its full path: the install
// folder made safe (AllowAccountPrivilege) and the desktop shortcut.
//
// Wine (8.0 as Debian packages it) keeps no security descriptor of a file:
// it turns the DACL it is given into the Unix mode and makes a descriptor up
// from the mode when asked (the owner is always the Unix user, Everyone
// stands for the "other" bits). So the descriptor the library sets is read
// where it hands it to the system, its import of SetKernelObjectSecurity,
// redirected to a recorder that passes the call on; what Wine does keep,
// Everyone's rights, is read back from the files.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/importhook.h"
#include "tests/support/shelllinks.h"
#include "tests/support/testenv.h"
#include "tests/support/unixlinks.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

// Windows' ERROR_REPARSE_POINT_ENCOUNTERED.
constexpr DWORD kReparsePointEncountered = 4395;

// ---- what the library hands to the system --------------------------------

struct Applied {
    std::wstring path;  // "\\?\C:\...", the final path of the handle
    SECURITY_INFORMATION what = 0;
    std::vector<BYTE> descriptor;  // self-relative
    PSECURITY_DESCRIPTOR get() { return descriptor.data(); }
};

std::wstring FinalPathOf(HANDLE file) {
    wchar_t path[4096] = {};
    const DWORD length = ::GetFinalPathNameByHandleW(file, path, 4096, 0);
    return length && length < 4096 ? path : L"";
}

std::vector<BYTE> SelfRelative(PSECURITY_DESCRIPTOR descriptor) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    std::vector<BYTE> bytes;
    DWORD size = 0;
    if (control & SE_SELF_RELATIVE) {
        size = ::GetSecurityDescriptorLength(descriptor);
        bytes.resize(size);
        std::memcpy(bytes.data(), descriptor, size);
    } else {
        ::MakeSelfRelativeSD(descriptor, nullptr, &size);
        bytes.resize(size);
        ::MakeSelfRelativeSD(descriptor, bytes.data(), &size);
    }
    return bytes;
}

struct Recording {
    std::mutex lock;
    std::vector<Applied> applied;
    bool forward = true;
    decltype(&::SetKernelObjectSecurity) real = nullptr;
};
Recording g_recording;

BOOL WINAPI RecordedSetSecurity(HANDLE handle, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor) {
    {
        std::lock_guard<std::mutex> lock(g_recording.lock);
        g_recording.applied.push_back({FinalPathOf(handle), what, SelfRelative(descriptor)});
    }
    return g_recording.forward ? g_recording.real(handle, what, descriptor) : TRUE;
}

// The payload's func_helper.dll with its descriptor writes recorded; with
// `forward` false they are only recorded.
class FuncHelper {
public:
    explicit FuncHelper(bool forward = true) {
        library_.reset(::LoadLibraryW(PayloadPath(L"func_helper.dll").c_str()));
        allow_ = reinterpret_cast<BOOL(WINAPI*)(const wchar_t*)>(
            ::GetProcAddress(library_.get(), "AllowAccountPrivilege"));
        shortcut = reinterpret_cast<void(WINAPI*)(const wchar_t*, const wchar_t*, const wchar_t*)>(
            ::GetProcAddress(library_.get(), "CreateDesktopShortcut"));
        hook_ = std::make_unique<ImportHook>(library_.get(), "advapi32.dll", "SetKernelObjectSecurity",
                                             reinterpret_cast<void*>(&RecordedSetSecurity));
        std::lock_guard<std::mutex> lock(g_recording.lock);
        g_recording.applied.clear();
        g_recording.forward = forward;
        g_recording.real = hook_->original<BOOL WINAPI(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR)>();
    }

    // One at a time: a second hook would take the first one's recorder for
    // the real function.
    bool ok() const { return allow_ && shortcut && hook_->ok() && g_recording.real != &RecordedSetSecurity; }

    // The result, and the last error it left.
    std::pair<BOOL, DWORD> Allow(const wchar_t* path) {
        ::SetLastError(0xBADF00D);
        const BOOL result = allow_(path);
        return {result, ::GetLastError()};
    }

    std::vector<Applied> applied() {
        std::lock_guard<std::mutex> lock(g_recording.lock);
        return g_recording.applied;
    }

    void(WINAPI* shortcut)(const wchar_t*, const wchar_t*, const wchar_t*) = nullptr;

private:
    vek::UniqueModule library_;
    std::unique_ptr<ImportHook> hook_;
    BOOL(WINAPI* allow_)(const wchar_t*) = nullptr;
};

// ---- descriptors -------------------------------------------------------------

class WellKnownSid {
public:
    explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
        DWORD size = SECURITY_MAX_SID_SIZE;
        ::CreateWellKnownSid(type, nullptr, bytes_, &size);
    }
    PSID get() { return bytes_; }

private:
    BYTE bytes_[SECURITY_MAX_SID_SIZE] = {};
};

bool IsSid(PSID sid, WELL_KNOWN_SID_TYPE type) { return sid && ::EqualSid(sid, WellKnownSid(type).get()); }

enum class Kind { Folder, Subfolder, File };

// Owner Administrators; exactly Administrators and SYSTEM full control and
// Users read & execute; protected on the folder, inherited below it.
void ExpectLockedDown(PSECURITY_DESCRIPTOR descriptor, Kind kind) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    EXPECT_TRUE(IsSid(owner, WinBuiltinAdministratorsSid)) << "owner Administrators";
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_EQ((control & SE_DACL_PROTECTED) != 0, kind == Kind::Folder) << "nothing inherited by the folder";
    BOOL present = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present && dacl);
    const BYTE flags = kind == Kind::Folder      ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE
                       : kind == Kind::Subfolder ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERITED_ACE
                                                 : INHERITED_ACE;
    const struct {
        WELL_KNOWN_SID_TYPE sid;
        ACCESS_MASK mask;
    } expected[] = {{WinBuiltinAdministratorsSid, FILE_ALL_ACCESS},
                    {WinLocalSystemSid, FILE_ALL_ACCESS},
                    {WinBuiltinUsersSid, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}};
    ASSERT_EQ(dacl->AceCount, 3u);
    for (DWORD i = 0; i < 3; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(ace->Header.AceFlags, flags) << i;
        EXPECT_EQ(ace->Mask, expected[i].mask) << i;
        EXPECT_TRUE(IsSid(&ace->SidStart, expected[i].sid)) << i;
    }
}

constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                     FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                     GENERIC_ALL;

// The write, append, delete, permission or owner rights that Users,
// Everyone, Authenticated Users or Interactive have on `path`, as the system
// reports its DACL; empty when none.
std::string UserWriteRights(const std::wstring& path) {
    PACL dacl = nullptr;
    vek::UniqueLocal descriptor;
    const DWORD error = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                nullptr, &dacl, nullptr, descriptor.put());
    if (error != ERROR_SUCCESS) return "unreadable: " + std::to_string(error);
    if (!dacl) return "no DACL: everyone has every right";
    std::string rights;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE ||
            !(ace->Mask & kWriteRights))
            continue;
        for (auto sid : {WinBuiltinUsersSid, WinWorldSid, WinAuthenticatedUserSid, WinInteractiveSid}) {
            if (IsSid(&ace->SidStart, sid)) rights += "sid type " + std::to_string(sid) + ": " + std::to_string(ace->Mask) + "; ";
        }
    }
    return rights;
}

void SetDacl(const std::wstring& path, const wchar_t* sddl) {
    vek::UniqueLocal descriptor;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(),
                                                                       nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision);
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION | (control & SE_DACL_PROTECTED ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
    ASSERT_EQ(::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT, what, nullptr, nullptr,
                                      dacl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS))
        << Utf8(path);
}

// ---- trees -----------------------------------------------------------------------

bool IsFolderEntry(const std::wstring& entry) { return !entry.empty() && entry.back() == L'\\'; }
std::wstring Below(const std::wstring& folder, std::wstring entry) {
    if (IsFolderEntry(entry)) entry.pop_back();
    return folder + L"\\" + entry;
}

// `folder` and its entries: names that end in a backslash are folders,
// listed before what they hold.
void MakeTree(const std::wstring& folder, const std::vector<std::wstring>& entries) {
    ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    for (const std::wstring& entry : entries) {
        const std::wstring path = Below(folder, entry);
        if (IsFolderEntry(entry)) {
            ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << Utf8(path);
        } else {
            ASSERT_TRUE(WriteBytes(path, "content")) << Utf8(path);
        }
    }
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The index of the one record for `path`; -1 (with a failure) otherwise.
int AppliedTo(const std::vector<Applied>& applied, const std::wstring& path) {
    int found = -1, count = 0;
    for (size_t i = 0; i < applied.size(); ++i) {
        if (SamePath(applied[i].path, L"\\\\?\\" + path)) found = static_cast<int>(i), ++count;
    }
    EXPECT_EQ(count, 1) << "descriptors set on " << Utf8(path);
    return count == 1 ? found : -1;
}

void ExpectAppliedTo(std::vector<Applied>& applied, const std::wstring& path, Kind kind) {
    SCOPED_TRACE(Utf8(path));
    const int index = AppliedTo(applied, path);
    if (index < 0) return;
    EXPECT_EQ(applied[index].what, static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION |
                                                                      DACL_SECURITY_INFORMATION));
    ExpectLockedDown(applied[index].get(), kind);
}

bool ThreadImpersonates() {
    vek::UniqueHandle token;
    return ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) ||
           ::GetLastError() != ERROR_NO_TOKEN;
}

const std::vector<std::wstring> kInstalled = {L"TovikCCleanerMain.exe", L"divaruzov.exe", L"log\\",
                                              L"log\\old.log", L"皮肤\\", L"皮肤\\界面.xml"};

void UsersModifyTheParent(const std::wstring& parent, const std::wstring& folder,
                          const std::vector<std::wstring>& entries) {
    SetDacl(parent, L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;BU)");
    MakeTree(folder, entries);
}

void EveryoneHasFullControl(const std::wstring&, const std::wstring& folder, const std::vector<std::wstring>& entries) {
    MakeTree(folder, entries);
    SetDacl(folder, L"D:(A;OICI;FA;;;WD)(A;OICI;FA;;;BA)");
    for (const std::wstring& entry : entries) SetDacl(Below(folder, entry), L"D:(A;OICI;FA;;;WD)(A;OICI;FA;;;BA)");
}

void JustTheTree(const std::wstring&, const std::wstring& folder, const std::vector<std::wstring>& entries) {
    MakeTree(folder, entries);
}

// The first file and the first folder among the entries.
std::vector<std::wstring> FirstFileAndFolder(const std::vector<std::wstring>& entries) {
    std::wstring file, folder;
    for (const std::wstring& entry : entries) {
        std::wstring& slot = IsFolderEntry(entry) ? folder : file;
        if (slot.empty()) slot = entry;
    }
    return {file, folder};
}

}  // namespace

// ---- AllowAccountPrivilege ----------------------------------------------------------

// Each starting situation: every entry gets its descriptor once, a folder
// before anything in it; Users, Everyone and the other user groups can
// write nothing afterwards.
TEST(AllowAccountPrivilege, LocksTheFolderAndEverythingInIt) {
    const struct {
        const char* label;
        std::vector<std::wstring> entries;
        void (*prepare)(const std::wstring&, const std::wstring&, const std::vector<std::wstring>&);
        // What Wine keeps shows the fault before the call (Everyone only).
        bool everyoneWritesBefore;
    } cases[] = {
        {"a parent where Users may modify", kInstalled, UsersModifyTheParent, false},
        {"an existing folder where Everyone has full control", kInstalled, EveryoneHasFullControl, true},
        {"a nested tree", {L"a\\", L"a\\b\\", L"a\\b\\c\\", L"a\\b\\c\\深.dll", L"a\\b\\中.txt", L"a\\x.exe", L"y.dat",
                           L"empty\\"}, JustTheTree, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::wstring parent = dir / L"Apps", folder = parent + L"\\TovikClean";
        ASSERT_TRUE(::CreateDirectoryW(parent.c_str(), nullptr));
        c.prepare(parent, folder, c.entries);
        if (c.everyoneWritesBefore) {
            ASSERT_NE(UserWriteRights(folder), "") << "the situation shows the fault";
        }

        FuncHelper helper;
        ASSERT_TRUE(helper.ok());
        const auto [result, error] = helper.Allow(folder.c_str());
        EXPECT_TRUE(result) << error;
        EXPECT_FALSE(ThreadImpersonates()) << "the walk's rights end with the call";

        std::vector<Applied> applied = helper.applied();
        EXPECT_EQ(applied.size(), c.entries.size() + 1);
        ExpectAppliedTo(applied, folder, Kind::Folder);
        for (const std::wstring& entry : c.entries) {
            const std::wstring path = Below(folder, entry);
            ExpectAppliedTo(applied, path, IsFolderEntry(entry) ? Kind::Subfolder : Kind::File);
            EXPECT_LT(AppliedTo(applied, path.substr(0, path.find_last_of(L'\\'))), AppliedTo(applied, path))
                << "the folder holding " << Utf8(path) << " is locked first";
        }
        // The folder, a file and a folder in it, as the system keeps them.
        EXPECT_EQ(UserWriteRights(folder), "");
        for (const std::wstring& entry : FirstFileAndFolder(c.entries)) {
            EXPECT_EQ(UserWriteRights(Below(folder, entry)), "") << Utf8(entry);
        }
    }
}

// A Unix link inside the tree (to a folder: a reparse point; to a file: a
// plain file under Wine, which opens its target) leaves what it points at
// as it was, and the walk does not go through it. A link as the folder
// itself is refused.
TEST(AllowAccountPrivilege, LinksAreNotFollowed) {
    TempDir dir;
    const UnixTreeRemoval links(dir.path());
    const std::wstring folder = dir / L"TovikClean", outside = dir / L"outside";
    MakeTree(folder, {L"own.txt", L"sub\\", L"sub\\own2.txt"});
    MakeTree(outside, {L"keep.txt", L"inner\\"});
    ASSERT_TRUE(WriteBytes(dir / L"outside.txt", "keep"));
    const std::vector<std::wstring> targets = {outside, outside + L"\\keep.txt", outside + L"\\inner",
                                               dir / L"outside.txt"};
    for (const std::wstring& target : targets) SetDacl(target, L"D:(A;OICI;FA;;;WD)");
    ASSERT_TRUE(MakeUnixLink(folder, L"dirlink", L"../outside"));
    ASSERT_TRUE(MakeUnixLink(folder, L"filelink", L"../outside.txt"));
    ASSERT_TRUE(MakeUnixLink(folder + L"\\sub", L"deeplink", L"../../outside"));
    ASSERT_TRUE(MakeUnixLink(dir.path(), L"toplink", L"TovikClean"));
    {
        FuncHelper helper;
        ASSERT_TRUE(helper.ok());
        const auto [result, error] = helper.Allow(folder.c_str());
        EXPECT_TRUE(result) << error;
        std::vector<Applied> applied = helper.applied();
        const std::wstring inside = L"\\\\?\\" + folder;
        for (const Applied& a : applied) {
            EXPECT_TRUE(SamePath(a.path.substr(0, inside.size()), inside)) << "set outside the tree: " << Utf8(a.path);
        }
        ExpectAppliedTo(applied, folder, Kind::Folder);
        ExpectAppliedTo(applied, folder + L"\\own.txt", Kind::File);
        ExpectAppliedTo(applied, folder + L"\\sub", Kind::Subfolder);
        ExpectAppliedTo(applied, folder + L"\\sub\\own2.txt", Kind::File);
        for (const std::wstring& target : targets) EXPECT_NE(UserWriteRights(target), "") << Utf8(target);
    }
    FuncHelper helper;
    ASSERT_TRUE(helper.ok());
    const auto [result, error] = helper.Allow((dir / L"toplink").c_str());
    EXPECT_FALSE(result);
    EXPECT_EQ(error, kReparsePointEncountered);
    EXPECT_TRUE(helper.applied().empty());
}

// A file with a second name elsewhere shares its descriptor with it: it is
// left as it is, the call fails, and the rest is locked all the same.
TEST(AllowAccountPrivilege, AFileWithAnotherNameIsLeftAndFails) {
    TempDir dir;
    const std::wstring folder = dir / L"TovikClean", outside = dir / L"outside.dll";
    MakeTree(folder, {L"own.txt"});
    ASSERT_TRUE(WriteBytes(outside, "keep"));
    SetDacl(outside, L"D:(A;;FA;;;WD)");
    ASSERT_TRUE(::CreateHardLinkW((folder + L"\\version.dll").c_str(), outside.c_str(), nullptr));

    FuncHelper helper;
    ASSERT_TRUE(helper.ok());
    const auto [result, error] = helper.Allow(folder.c_str());
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_TOO_MANY_LINKS));
    std::vector<Applied> applied = helper.applied();
    EXPECT_EQ(applied.size(), 2u);
    ExpectAppliedTo(applied, folder, Kind::Folder);
    ExpectAppliedTo(applied, folder + L"\\own.txt", Kind::File);
    EXPECT_NE(UserWriteRights(outside), "");
}

// Nothing is set, and the error says why. Descriptors are only recorded
// here: a volume's root must never be walked, let alone changed.
TEST(AllowAccountPrivilege, RefusesWhatIsNoInstallFolder) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"file.txt", "x"));
    const std::wstring missing = dir / L"missing", file = dir / L"file.txt";
    const struct {
        const char* label;
        const wchar_t* path;
        DWORD error;
    } cases[] = {
        {"no path", nullptr, ERROR_INVALID_PARAMETER},
        {"an empty path", L"", ERROR_INVALID_PARAMETER},
        {"a folder that is not there", missing.c_str(), ERROR_FILE_NOT_FOUND},
        {"a file", file.c_str(), ERROR_DIRECTORY},
        {"a volume's root", L"C:\\", ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FuncHelper helper(/*forward=*/false);
        ASSERT_TRUE(helper.ok());
        const auto [result, error] = helper.Allow(c.path);
        EXPECT_FALSE(result);
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(helper.applied().empty());
    }
}

// ---- CreateDesktopShortcut --------------------------------------------------------------

namespace {

std::wstring DesktopFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path))) folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

// The shortcut file of `name` on the desktop, removed before and after (a
// link as a link).
class DesktopFile {
public:
    explicit DesktopFile(const std::wstring& name) : path_(DesktopFolder() + L"\\" + name + L".lnk") {
        RemoveUnixTree(path_);
    }
    ~DesktopFile() { RemoveUnixTree(path_); }
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

const wchar_t kName[] = L"TovikC盘清理";

// A program file in a folder with a Chinese name and a space.
std::wstring MakeTarget(const TempDir& dir) {
    const std::wstring folder = dir / L"清理 程序";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    WriteBytes(folder + L"\\TovikCCleanerMain.exe", "MZ");
    return folder + L"\\TovikCCleanerMain.exe";
}

void ExpectShortcutTo(const std::wstring& file, const std::wstring& target) {
    const Link link = ReadLink(file);
    EXPECT_EQ(link.path, target);
    EXPECT_EQ(link.folder, target.substr(0, target.find_last_of(L'\\')));
    EXPECT_EQ(link.icon, target);
    EXPECT_EQ(link.iconIndex, 0);
    EXPECT_EQ(link.arguments, L"");
}

}  // namespace

// Whatever has the shortcut's name already is replaced; a link of that name
// (one a user could plant on the desktop) is replaced as a link, and the
// file it points at keeps its content.
TEST(CreateDesktopShortcut, WritesTheShortcutOverWhatHasItsName) {
    TempDir dir;
    const std::wstring target = MakeTarget(dir);
    const std::wstring elsewhere = dir / L"elsewhere.lnk";
    ASSERT_TRUE(WriteBytes(elsewhere, "keep"));
    const struct {
        const char* label;
        std::function<bool(const std::wstring& desktopFile)> before;
    } cases[] = {
        {"nothing", [](const std::wstring&) { return true; }},
        {"an earlier file", [](const std::wstring& file) { return WriteBytes(file, "not a shortcut"); }},
        {"a link to a file elsewhere",
         [&](const std::wstring& file) {
             return MakeUnixLink(DesktopFolder(), file.substr(file.find_last_of(L'\\') + 1), UnixPath(elsewhere));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DesktopFile file(kName);
        ASSERT_TRUE(c.before(file.path()));
        FuncHelper helper;
        ASSERT_TRUE(helper.ok());
        helper.shortcut(target.c_str(), L"TovikCleanWnd", kName);
        ExpectShortcutTo(file.path(), target);
        EXPECT_EQ(ReadBytes(elsewhere), "keep") << "written or deleted through the link";
    }
}

// Null arguments, and a name that is no plain file name, leave nothing.
TEST(CreateDesktopShortcut, NothingForMissingArgumentsOrAPathAsName) {
    TempDir dir;
    const std::wstring target = MakeTarget(dir);
    const std::wstring desktop = DesktopFolder(), shortcut = desktop + L"\\" + kName + L".lnk";
    const std::wstring subfolder = L"vektest-" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryW((desktop + L"\\" + subfolder).c_str(), nullptr));
    const std::wstring up = L"..\\" + std::wstring(kName), down = subfolder + L"\\" + kName;
    const struct {
        const char* label;
        const wchar_t *target, *windowClass, *name;
        std::wstring unexpected;  // the file that must not appear
    } cases[] = {
        {"no target", nullptr, L"TovikCleanWnd", kName, shortcut},
        {"no window class", target.c_str(), nullptr, kName, shortcut},
        {"no name", target.c_str(), L"TovikCleanWnd", nullptr, desktop + L"\\.lnk"},
        {"a name out of the desktop", target.c_str(), L"TovikCleanWnd", up.c_str(), desktop + L"\\" + up + L".lnk"},
        {"a name into a folder on it", target.c_str(), L"TovikCleanWnd", down.c_str(), desktop + L"\\" + down + L".lnk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ::DeleteFileW(c.unexpected.c_str());
        FuncHelper helper;
        ASSERT_TRUE(helper.ok());
        helper.shortcut(c.target, c.windowClass, c.name);
        EXPECT_FALSE(Exists(c.unexpected));
        ::DeleteFileW(c.unexpected.c_str());
    }
    RemoveTree(desktop + L"\\" + subfolder);
}

// The call works on a thread in no apartment, in a single-threaded and in
// the multithreaded one, and leaves the thread's COM state as it found it.
TEST(CreateDesktopShortcut, LeavesTheThreadsComAsItWas) {
    TempDir dir;
    const std::wstring target = MakeTarget(dir);
    const struct {
        const char* label;
        bool initialise;
        DWORD model;
        HRESULT expectedType;  // APTTYPE, or CO_E_NOTINITIALIZED
    } cases[] = {
        {"no COM", false, 0, CO_E_NOTINITIALIZED},
        {"single-threaded", true, COINIT_APARTMENTTHREADED, APTTYPE_STA},
        {"multithreaded", true, COINIT_MULTITHREADED, APTTYPE_MTA},
    };
    FuncHelper helper;
    ASSERT_TRUE(helper.ok());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DesktopFile file(kName);
        HRESULT after = E_FAIL;
        std::thread([&] {
            if (c.initialise) ::CoInitializeEx(nullptr, c.model);
            helper.shortcut(target.c_str(), L"TovikCleanWnd", kName);
            APTTYPE type = APTTYPE_CURRENT;
            APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
            const HRESULT hr = ::CoGetApartmentType(&type, &qualifier);
            after = FAILED(hr) ? hr : type == APTTYPE_MAINSTA ? HRESULT{APTTYPE_STA} : HRESULT{type};
            if (c.initialise) ::CoUninitialize();
        }).join();
        EXPECT_EQ(after, c.expectedType);
        ExpectShortcutTo(file.path(), target);
    }
}
