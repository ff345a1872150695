// The shortcut is made in memory and written by this module rather than by
// IPersistFile::Save: the installer runs elevated and the desktop is the
// user's, so a link planted under the shortcut's name must be replaced, never
// written or deleted through.
#include "product/func_helper/desktoplink.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "utility/base/handles.h"
#include "utility/base/paths.h"

namespace funchelper {

namespace {

// A shortcut file holds a few hundred bytes.
constexpr ULONGLONG kMaxLinkBytes = 1 << 20;
// Fresh names tried for the file before it gets the shortcut's name.
constexpr int kFreshNameAttempts = 16;

bool IsPlainName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::wstring DesktopFolder() {
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path))) folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

bool StreamBytes(IStream* stream, std::string& bytes) {
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER size = {};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &size)) || size.QuadPart > kMaxLinkBytes ||
        FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) {
        return false;
    }
    bytes.resize(static_cast<size_t>(size.QuadPart));
    ULONG read = 0;
    return SUCCEEDED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)) && read == bytes.size();
}

// The file's bytes, as IPersistFile::Save would write them.
bool LinkBytes(const std::wstring& target, std::string& bytes) {
    vek::ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  link.put_void())) ||
        FAILED(link->SetPath(target.c_str())) ||
        FAILED(link->SetWorkingDirectory(vek::ParentFolder(target).c_str())) ||
        FAILED(link->SetIconLocation(target.c_str(), 0))) {
        return false;
    }
    vek::ComPtr<IPersistStream> persist;
    vek::ComPtr<IStream> stream;
    return SUCCEEDED(link->QueryInterface(IID_IPersistStream, persist.put_void())) &&
           SUCCEEDED(::CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) &&
           SUCCEEDED(persist->Save(stream.get(), TRUE)) && StreamBytes(stream.get(), bytes);
}

// The name as NtSetInformationFile takes it without a root handle.
std::wstring NtPath(const std::wstring& path) {
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + path.substr(2);
    return L"\\??\\" + path;
}

bool RenameOver(HANDLE file, const std::wstring& path) {
    const std::wstring name = NtPath(path);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, name.data(), rename->FileNameLength);
    return ::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != FALSE;
}

// A new file of this process beside `path`, opened for writing and renaming.
vek::UniqueFile FreshFileBeside(const std::wstring& path) {
    for (int attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
        const std::wstring fresh = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(attempt) + L".tmp";
        vek::UniqueFile file(::CreateFileW(fresh.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || ::GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return vek::UniqueFile();
}

// Written into a fresh file and renamed, by its handle, over whatever has
// the name: a rename replaces a file or a link as it is, where opening or
// deleting the name would reach what a link points at (under Wine even
// DeleteFileW does).
bool WriteOver(const std::wstring& path, const std::string& bytes) {
    const vek::UniqueFile file = FreshFileBeside(path);
    if (!file) return false;
    DWORD written = 0;
    if (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size() && RenameOver(file.get(), path)) {
        return true;
    }
    FILE_DISPOSITION_INFO gone = {TRUE};
    ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &gone, sizeof gone);
    return false;
}

}  // namespace

bool CreateDesktopShortcut(const wchar_t* target, const wchar_t* name) {
    if (!target || !*target || !name || !IsPlainName(name)) return false;
    const std::wstring desktop = DesktopFolder();
    if (desktop.empty()) return false;
    // A thread without COM gets it for the call; one already in an apartment
    // is used as it is (S_FALSE is balanced by the scope, RPC_E_CHANGED_MODE
    // means the caller's multithreaded apartment, which serves as well).
    const vek::ComScope com;
    if (FAILED(com.result()) && com.result() != RPC_E_CHANGED_MODE) return false;
    std::string bytes;
    if (!LinkBytes(target, bytes)) return false;
    const std::wstring path = vek::JoinPath(desktop, std::wstring(name) + L".lnk");
    if (!WriteOver(path, bytes)) return false;
    ::SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, path.c_str(), nullptr);
    return true;
}

}  // namespace funchelper
