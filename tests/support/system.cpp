#include "system.h"

#include <windows.h>

#include "tests/support/testenv.h"
#include "utility/base/handles.h"

namespace vektest {

namespace {
const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPending[] = L"PendingFileRenameOperations";
}  // namespace

std::vector<std::wstring> PendingDeletions() {
    std::vector<std::wstring> deletions;
    vek::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return deletions;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), kPending, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return deletions;
    std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
    ::RegQueryValueExW(key.get(), kPending, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size);
    // Pairs of source and target; an empty target means deletion.
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < size / sizeof(wchar_t);) {
        const std::wstring s = data.c_str() + at;
        strings.push_back(s);
        at += s.size() + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (strings[i + 1].empty()) deletions.push_back(strings[i]);
    }
    return deletions;
}

bool IsPendingDeletion(const std::wstring& path) {
    for (const std::wstring& entry : PendingDeletions()) {
        if (_wcsicmp(entry.c_str(), (L"\\??\\" + path).c_str()) == 0) return true;
    }
    return false;
}

void ClearPendingRenames() {
    vek::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), kPending);
}

std::wstring TodaysLogPath() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t name[64];
    swprintf(name, 64, L"TovikInstall_%04d-%02d-%02d.log", now.wYear, now.wMonth, now.wDay);
    return TempFolder() + name;
}

}  // namespace vektest
