#include "testenv.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include "utility/base/handles.h"
#include "utility/base/paths.h"
#include "utility/base/textconv.h"

namespace vektest {

std::wstring TestBinDir() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir = path;
    return dir.substr(0, dir.find_last_of(L'\\'));
}

std::wstring InstallerPath(const std::wstring& name) {
    return TestBinDir() + L"\\installers\\" + name + L".exe";
}

std::wstring BuildPath(const std::wstring& relative) { return TestBinDir() + L"\\" + relative; }

std::wstring ProductPath(const std::wstring& name) { return TestBinDir() + L"\\..\\product\\" + name; }

std::wstring PayloadPath(const std::wstring& name) {
    return TestBinDir().substr(0, TestBinDir().find_last_of(L'\\')) + L"\\payload\\" + name;
}

std::wstring TempFolder() { return vek::TempFolder(); }

std::wstring CopyOfSleeper(const TempDir& dir, const std::wstring& name) {
    const std::wstring path = dir / name;
    ::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), path.c_str(), FALSE);
    return path;
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = TempFolder() + L"vektest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    RemoveTree(path_);
    ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    vek::UniqueFind search(::FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (search) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring full = path + L"\\" + name;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                ::DeleteFileW(full.c_str());
            }
        } while (::FindNextFileW(search.get(), &entry));
    }
    ::RemoveDirectoryW(path.c_str());
}

std::string ReadBytes(const std::wstring& path) {
    vek::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    vek::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                               nullptr) &&
           written == bytes.size();
}

std::vector<std::string> ReadLines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Utf8(const std::wstring& text) { return vek::WideToUtf8(text); }
std::wstring Wide(const std::string& utf8) { return vek::Utf8ToWide(utf8); }

std::string LuaQuote(const std::wstring& path) {
    std::string quoted = "\"";
    for (char c : Utf8(path)) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace vektest
