#include "fileops.h"

#include <ntsecapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>

#include "utility/base/folderwalk.h"
#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/trace.h"

namespace vek {

namespace {

constexpr FILEOP_FLAGS kCopyFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;  // 0x214
constexpr FILEOP_FLAGS kQuietFlags = kCopyFlags | FOF_NOERRORUI;                           // 0x614
constexpr FILEOP_FLAGS kDeleteFlags = FOF_SILENT | FOF_NOCONFIRMATION;                    // 0x14

int ShellOperation(UINT operation, const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags) {
    const std::wstring source = DoubleTerminated(from);
    const std::wstring target = DoubleTerminated(to);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = operation;
    op.pFrom = source.c_str();
    op.pTo = to.empty() && operation == FO_DELETE ? nullptr : target.c_str();
    op.fFlags = flags;
    return ::SHFileOperationW(&op);
}

struct Transfer {
    UINT operation;
    FILEOP_FLAGS flags;
    const wchar_t* verb;
};

Status TransferPath(const Transfer& transfer, const std::wstring& from, const std::wstring& to) {
    const int result = ShellOperation(transfer.operation, from, to, transfer.flags);
    if (result == 0) {
        Trace(L"%s %s to %s !", transfer.verb, from.c_str(), to.c_str());
        return Status::Success();
    }
    Trace(L"%s %s to %s failed!", transfer.verb, from.c_str(), to.c_str());
    Trace(L"SHFileOperation error code : %#x\r\n", result);
    return Status::Failure(static_cast<DWORD>(result));
}

void TraceDeleteFailure(const std::wstring& path, int result) {
    Trace(L"Delete %s failed!\r\n", path.c_str());
    Trace(L"SHFileOperation error code : %#x\r\n", result);
}

int AskAboutLockedPath(const std::wstring& path) {
    wchar_t text[1024];
    _snwprintf(text, std::size(text) - 1,
               L"无法删除\"%s\"，可能是被占用，请关闭占用程序后点击重试或者点击忽略在卸载完成之后手动删除！",
               path.c_str());
    text[std::size(text) - 1] = L'\0';
    return ::MessageBoxW(nullptr, text, L"提示", MB_ICONQUESTION | MB_ABORTRETRYIGNORE);
}

}  // namespace

Status MakeFolder(const std::wstring& folder) {
    if (PathExists(folder)) return Status::Success();
    const int created = ShellCreateDirectory(folder);
    if (!PathExists(folder)) return Status::Failure(static_cast<DWORD>(created));
    Trace(L"Create Directory %s!\r\n", folder.c_str());
    return Status::Success();
}

Status CopyPath(const std::wstring& from, const std::wstring& to) {
    return TransferPath({FO_COPY, kCopyFlags, L"Copy"}, from, to);
}

// A move is done only when the source is gone: Wine's shell reports success
// for a file that another program holds open and leaves it where it was.
Status MovePath(const std::wstring& from, const std::wstring& to) {
    const Status moved = TransferPath({FO_MOVE, kQuietFlags, L"Move"}, from, to);
    if (moved && PathExists(from) && !PathExists(to)) {
        Trace(L"Move %s to %s left the source in place!\r\n", from.c_str(), to.c_str());
        return Status::Failure(ERROR_SHARING_VIOLATION);
    }
    return moved;
}

Status RenamePath(const std::wstring& from, const std::wstring& to) {
    const Status moved = Status::FromBool(::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING));
    Trace(moved ? L"MoveFile %s to %s !" : L"MoveFile %s to %s failed!", from.c_str(), to.c_str());
    return moved;
}

bool DeleteWithRetryBox(const std::wstring& path) {
    if (!PathExists(path)) return true;
    const int result = ShellOperation(FO_DELETE, path, L"", kDeleteFlags);
    if (result == 0) return true;
    switch (AskAboutLockedPath(path)) {
        case IDABORT:
            ::ExitProcess(0);
        case IDRETRY:
            DeleteWithRetryBox(path);
            return true;
        case IDIGNORE:
            TraceDeleteFailure(path, result);
            return true;
        default:
            TraceDeleteFailure(path, result);
            return false;
    }
}

Status DeleteQuietly(const std::wstring& path) {
    if (!PathExists(path)) return Status::Gone(ERROR_FILE_NOT_FOUND);
    const int result = ShellOperation(FO_DELETE, path, L"", kQuietFlags);
    return result == 0 ? Status::Success() : Status::Failure(static_cast<DWORD>(result));
}

bool DeleteFileOrTree(const std::wstring& path, const DeleteFailure* onFailure) {
    if (!PathExists(path)) return false;
    if (IsFolder(path)) {
        Trace(L"PathIsDirectoryW");
        if (onFailure) {
            DeleteDirectoriesEx(path, *onFailure);
        } else {
            DeleteDirectories(path);
        }
        return true;
    }
    Trace(L"Path is file!");
    if (!::DeleteFileW(path.c_str()) && onFailure && *onFailure) (*onFailure)(path, ::GetLastError());
    return true;
}

Status DeleteAfterReboot(const std::wstring& path) {
    if (!PathExists(path)) return Status::Gone(ERROR_FILE_NOT_FOUND);
    return Status::FromBool(::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
}

void DeleteFolderAfterReboot(const std::wstring& folder) {
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
        if (!IsFolderEntry(entry) || IsLinkEntry(entry)) DeleteAfterReboot(JoinPath(folder, entry.cFileName));
    });
    DeleteAfterReboot(folder);
}

namespace {

// 16 hex digits from the system's random source; empty when it fails.
std::wstring RandomHex() {
    unsigned char bytes[8] = {};
    if (!::RtlGenRandom(bytes, sizeof bytes)) return {};
    wchar_t text[2 * sizeof bytes + 1] = {};
    for (size_t i = 0; i < sizeof bytes; ++i) _snwprintf(text + 2 * i, 3, L"%02x", bytes[i]);
    return text;
}

Status ReadOpenFile(HANDLE file, unsigned long long limit, std::string* bytes) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!::GetFileInformationByHandle(file, &info)) return Status::LastError();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Status::Failure(ERROR_CANT_ACCESS_FILE);
    const unsigned long long size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > limit) return Status::Failure(ERROR_FILE_TOO_LARGE);
    bytes->assign(static_cast<size_t>(size), '\0');
    size_t done = 0;
    while (done < bytes->size()) {
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes->size() - done, 1u << 20));
        if (!::ReadFile(file, bytes->data() + done, want, &read, nullptr)) return Status::LastError();
        if (read == 0) return Status::Failure(ERROR_HANDLE_EOF);  // shrank while being read
        done += read;
    }
    return Status::Success();
}

}  // namespace

std::optional<std::wstring> MakeFreshFolder(const std::wstring& parent, const std::wstring& prefix) {
    constexpr int kAttempts = 8;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::wstring random = RandomHex();
        if (random.empty()) return std::nullopt;
        const std::wstring folder = parent + prefix + random;
        if (::CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
    }
    return std::nullopt;
}

Status ReadFileLimited(const std::wstring& path, unsigned long long limit, std::string* bytes) {
    bytes->clear();
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return Status::LastError();
    const Status read = ReadOpenFile(file.get(), limit, bytes);
    if (!read) bytes->clear();
    return read;
}

std::optional<std::wstring> MakeTempFile(const std::wstring& folder, const std::wstring& prefix) {
    wchar_t name[kPathUnits] = {};
    if (::GetTempFileNameW(folder.c_str(), prefix.c_str(), 0, name) == 0) return std::nullopt;
    return std::wstring(name);
}

std::wstring ScriptTempFolder() {
    wchar_t path[kPathUnits] = {};
    if (::GetTempPathW(static_cast<DWORD>(kPathUnits), path) == 0) {
        Trace(L"GetTempPath Failed!");
    } else if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, FALSE)) {
        Trace(L"Get Local AppData Failed!");
    }
    return path;
}

std::wstring LoadedModulePath(const std::optional<std::wstring>& name) {
    const HMODULE module = name ? ::GetModuleHandleW(name->c_str()) : nullptr;
    wchar_t path[kPathUnits] = {};
    ::GetModuleFileNameW(module, path, static_cast<DWORD>(kPathUnits));
    return path;
}

}  // namespace vek
