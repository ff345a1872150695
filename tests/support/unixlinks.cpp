#include "tests/support/unixlinks.h"

#include <windows.h>

#include <atomic>

#include "tests/support/testenv.h"
#include "utility/base/textconv.h"

namespace vektest {

namespace {

std::wstring Quoted(const std::wstring& text) { return L"'" + text + L"'"; }

}  // namespace

bool RunUnixShell(const std::wstring& folder, const std::wstring& command) {
    static std::atomic<int> counter{0};
    const std::wstring marker =
        L"vek-unix-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    const std::wstring markerPath = folder + L"\\" + marker;
    if (!::CreateDirectoryW(markerPath.c_str(), nullptr)) return false;
    std::wstring commandLine = L"sh -c \"" + command + L"; rmdir " + Quoted(marker) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &started)) {
        ::RemoveDirectoryW(markerPath.c_str());
        return false;
    }
    if (started.hThread) ::CloseHandle(started.hThread);
    if (started.hProcess) ::CloseHandle(started.hProcess);
    return Eventually([&] { return !Exists(markerPath); });
}

bool MakeUnixLink(const std::wstring& folder, const std::wstring& name, const std::wstring& target) {
    return RunUnixShell(folder, L"ln -s " + Quoted(target) + L" " + Quoted(name)) && Exists(folder + L"\\" + name);
}

bool RemoveUnixTree(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return RunUnixShell(path.substr(0, slash), L"rm -rf " + Quoted(path.substr(slash + 1))) && !Exists(path);
}

std::wstring UnixPath(const std::wstring& path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<Fn>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    char* unix = convert ? convert(path.c_str()) : nullptr;
    if (!unix) return {};
    const std::wstring converted = vek::Utf8ToWide(unix);
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return converted;
}

}  // namespace vektest
