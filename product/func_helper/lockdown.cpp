#include "product/func_helper/lockdown.h"

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "utility/base/handles.h"

namespace funchelper {

namespace {

// Windows' ERROR_REPARSE_POINT_ENCOUNTERED, missing from MinGW's headers.
constexpr DWORD kReparsePointEncountered = 4395;
// GetFinalPathNameByHandleW never needs more (the longest NT path).
constexpr DWORD kMaxPathUnits = 32768;

// Users get read and execute (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE).
// The folder: protected, nothing comes from its parent.
constexpr wchar_t kFolderSddl[] = L"O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
// Everything inside: what inheritance from the folder gives.
constexpr wchar_t kSubfolderSddl[] = L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)";
constexpr wchar_t kFileSddl[] = L"O:BAD:AI(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)";

vek::UniqueLocal Descriptor(const wchar_t* sddl) {
    vek::UniqueLocal descriptor;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.put(), nullptr);
    return descriptor;
}

struct Descriptors {
    vek::UniqueLocal folder = Descriptor(kFolderSddl);
    vek::UniqueLocal subfolder = Descriptor(kSubfolderSddl);
    vek::UniqueLocal file = Descriptor(kFileSddl);
    bool ok() const { return folder && subfolder && file; }
};

void EnablePrivilege(HANDLE token, const wchar_t* name) {
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (::LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) {
        ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    }
}

// Restore and take-ownership rights on this thread for the walk: an entry a
// user made may deny the administrators everything, which they override.
// The caller's process token is not touched, nor a thread that already
// impersonates someone.
class WalkRights {
public:
    WalkRights() {
        vek::UniqueHandle token;
        if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put())) return;
        if (!::ImpersonateSelf(SecurityImpersonation)) return;
        impersonating_ = true;
        if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES, TRUE, token.put())) return;
        EnablePrivilege(token.get(), SE_RESTORE_NAME);
        EnablePrivilege(token.get(), SE_TAKE_OWNERSHIP_NAME);
    }
    ~WalkRights() {
        if (impersonating_) ::RevertToSelf();
    }
    WalkRights(const WalkRights&) = delete;
    WalkRights& operator=(const WalkRights&) = delete;

private:
    bool impersonating_ = false;
};

// The entry itself, a link as a link: metadata rights only, shared with
// every other user of the file.
vek::UniqueFile OpenEntry(const std::wstring& path) {
    return vek::UniqueFile(::CreateFileW(path.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
}

// "\\?\C:\..." of what the handle is open on; empty on failure.
std::wstring FinalPath(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0 || length > kMaxPathUnits) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length);  // the size asked for, terminator included
    }
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

DWORD Apply(HANDLE file, HLOCAL descriptor) {
    return ::SetKernelObjectSecurity(file, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor)
               ? NO_ERROR
               : ::GetLastError();
}

// The folder itself: a real folder below a volume's root, never a link.
// Its final path is where the walk goes on.
DWORD LockRoot(const wchar_t* path, const Descriptors& descriptors, std::wstring& base) {
    // Wine shows a Unix link as a reparse point in listings only.
    const DWORD listed = ::GetFileAttributesW(path);
    if (listed == INVALID_FILE_ATTRIBUTES) return ::GetLastError();
    const vek::UniqueFile folder = OpenEntry(path);
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder || !::GetFileInformationByHandle(folder.get(), &info)) return ::GetLastError();
    if ((listed | info.dwFileAttributes) & FILE_ATTRIBUTE_REPARSE_POINT) return kReparsePointEncountered;
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    base = FinalPath(folder.get());
    if (base.empty()) return ::GetLastError();
    // "\\?\D:\": a whole volume is never an install folder.
    if (base.back() == L'\\') return ERROR_INVALID_PARAMETER;
    return Apply(folder.get(), descriptors.folder.get());
}

// Everything below the locked folder, each folder locked before it is
// listed: what users could still change shrinks as the walk goes down.
class Walk {
public:
    explicit Walk(const Descriptors& descriptors) : descriptors_(descriptors) {}

    DWORD Run(const wchar_t* path) {
        std::wstring base;
        const DWORD error = LockRoot(path, descriptors_, base);
        if (error != NO_ERROR) return error;
        pending_.push_back(base);
        while (!pending_.empty()) {
            const std::wstring folder = std::move(pending_.back());
            pending_.pop_back();
            Children(folder);
        }
        return error_;
    }

private:
    void Note(DWORD error) {
        if (error_ == NO_ERROR) error_ = error;
    }

    void Children(const std::wstring& folder) {
        WIN32_FIND_DATAW data;
        const vek::UniqueFind search(::FindFirstFileW((folder + L"\\*").c_str(), &data));
        if (!search) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) Note(error);
            return;
        }
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (Entry(path)) pending_.push_back(path);
        } while (::FindNextFileW(search.get(), &data));
        const DWORD error = ::GetLastError();
        if (error != ERROR_NO_MORE_FILES) Note(error);
    }

    // Locks one entry; true when it is a folder to go into.
    bool Entry(const std::wstring& path) {
        const vek::UniqueFile entry = OpenEntry(path);
        BY_HANDLE_FILE_INFORMATION info;
        if (!entry || !::GetFileInformationByHandle(entry.get(), &info)) {
            Note(::GetLastError());
            return false;
        }
        const bool folder = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        // Another name of a file elsewhere: its descriptor is that file's too.
        if (!folder && info.nNumberOfLinks > 1) {
            Note(ERROR_TOO_MANY_LINKS);
            return false;
        }
        // Wine opens what a Unix link points at even so; the handle then
        // names a place elsewhere, which is left alone.
        const std::wstring opened = FinalPath(entry.get());
        if (opened.empty()) Note(::GetLastError());
        if (!SamePath(opened, path)) return false;
        Note(Apply(entry.get(), folder ? descriptors_.subfolder.get() : descriptors_.file.get()));
        // A link gets its own descriptor at most, never one on its target.
        return folder && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    const Descriptors& descriptors_;
    std::vector<std::wstring> pending_;  // locked folders still to list
    DWORD error_ = NO_ERROR;
};

DWORD Lock(const wchar_t* path) {
    const Descriptors descriptors;
    if (!descriptors.ok()) return ::GetLastError();
    const WalkRights rights;
    return Walk(descriptors).Run(path);
}

}  // namespace

bool LockDownFolder(const wchar_t* path) {
    const DWORD error = path && *path ? Lock(path) : ERROR_INVALID_PARAMETER;
    ::SetLastError(error);
    return error == NO_ERROR;
}

}  // namespace funchelper
