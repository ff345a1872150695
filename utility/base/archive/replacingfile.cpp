#include "replacingfile.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <utility>

namespace vek {

namespace {

constexpr size_t kWritePiece = 4u << 20;
constexpr int kNameAttempts = 64;

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// A short name, so that a final path near the length limit still has room.
std::wstring TempName(const std::wstring& folder) {
    static std::atomic<unsigned> counter{0};
    wchar_t name[32];
    swprintf(name, 32, L"~vek%lx-%x.tmp", ::GetCurrentProcessId(), counter++);
    return folder + name;
}

// A replacing move reports a file that another process holds open as access
// denied; opening it for deletion first names the sharing violation (32)
// that the caller's error callback is told about.
DWORD InUseError(const std::wstring& path) {
    UniqueFile probe(::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr));
    if (probe) return 0;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : error;
}

}  // namespace

ReplacingFile::~ReplacingFile() { Discard(); }

ReplacingFile::ReplacingFile(ReplacingFile&& other) noexcept
    : final_(std::move(other.final_)), temp_(std::exchange(other.temp_, {})), file_(std::move(other.file_)),
      placed_(std::exchange(other.placed_, false)) {}

DWORD ReplacingFile::Create() {
    Discard();
    const std::wstring folder = FolderOf(final_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::wstring name = TempName(folder);
        file_.reset(::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file_) {
            temp_ = std::move(name);
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return error ? error : ERROR_WRITE_FAULT;
    }
    return ERROR_FILE_EXISTS;
}

bool ReplacingFile::Write(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min(size, kWritePiece));
        DWORD written = 0;
        if (!::WriteFile(file_.get(), bytes, piece, &written, nullptr) || written != piece) return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}

void ReplacingFile::SetLastWriteTime(const FILETIME& time) { ::SetFileTime(file_.get(), nullptr, nullptr, &time); }

bool ReplacingFile::Close() {
    const HANDLE handle = file_.release();
    return ::CloseHandle(handle) || ::GetLastError() == 0;
}

DWORD ReplacingFile::Place() {
    const DWORD old = ::GetFileAttributesW(final_.c_str());
    const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY);
    if (readOnly) ::SetFileAttributesW(final_.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
    // Only a file that is there can be in use (and a fresh install has none).
    DWORD error = old == INVALID_FILE_ATTRIBUTES ? 0 : InUseError(final_);
    if (error == 0) {
        if (::MoveFileExW(temp_.c_str(), final_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            placed_ = true;
            return 0;
        }
        error = ::GetLastError();
    }
    if (readOnly) ::SetFileAttributesW(final_.c_str(), old);
    return error ? error : ERROR_WRITE_FAULT;
}

void ReplacingFile::Discard() {
    file_.reset();
    if (!temp_.empty() && !placed_) ::DeleteFileW(temp_.c_str());
    temp_.clear();
    placed_ = false;
}

}  // namespace vek
