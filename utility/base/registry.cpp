#include "registry.h"

#include <cwchar>
#include <map>

namespace vek {

namespace {
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;

using DeleteKeyEx = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

// RegDeleteKeyExW where the system has it, looked up once.
DeleteKeyEx FindDeleteKeyEx() {
    static const DeleteKeyEx fn = [] {
        HMODULE advapi = ::GetModuleHandleW(L"Advapi32.dll");
        return advapi ? reinterpret_cast<DeleteKeyEx>(::GetProcAddress(advapi, "RegDeleteKeyExW")) : nullptr;
    }();
    return fn;
}
}  // namespace

HKEY RootKey(const std::wstring& name) {
    static const std::map<std::wstring, HKEY> roots = {
        {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKCU", HKEY_CURRENT_USER},   {L"HKLM", HKEY_LOCAL_MACHINE},
        {L"HKU", HKEY_USERS},         {L"HKCC", HKEY_CURRENT_CONFIG},
    };
    const auto it = roots.find(name);
    return it == roots.end() ? nullptr : it->second;
}

LSTATUS OpenKey(HKEY root, const std::wstring& subkey, UniqueKey& key) {
    if (!root) return ERROR_INVALID_HANDLE;
    return ::RegOpenKeyExW(root, subkey.c_str(), 0, kAccess, key.put());
}

LSTATUS CreateKey(HKEY root, const std::wstring& subkey, UniqueKey& key) {
    if (!root) return ERROR_INVALID_HANDLE;
    return ::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                             key.put(), nullptr);
}

std::optional<RegValue> QueryValue(HKEY key, const std::wstring& name) {
    // The value may change between the size query and the read: read into a
    // buffer of the size asked for, and ask again when it grew.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        if (type == REG_DWORD) {
            uint32_t number = 0;
            DWORD bytes = sizeof number;
            const LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                                      reinterpret_cast<BYTE*>(&number), &bytes);
            if (status == ERROR_MORE_DATA) continue;
            if (status != ERROR_SUCCESS || type != REG_DWORD) break;
            return number;
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) break;
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = size;
        const LSTATUS status =
            ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) break;
        text.resize(bytes / sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), text.size()));  // no stored terminator needed
        return text;
    }
    return std::nullopt;
}

bool ValueExists(HKEY key, const std::wstring& name) {
    return ::RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) != ERROR_FILE_NOT_FOUND;
}

LSTATUS DeleteKeyTree(HKEY parent, const std::wstring& subkey) {
    {
        UniqueKey key;
        LSTATUS status = ::RegOpenKeyExW(parent, subkey.c_str(), 0, kAccess, key.put());
        if (status != ERROR_SUCCESS) return status;
        wchar_t child[256];
        for (;;) {
            DWORD length = static_cast<DWORD>(std::size(child));
            if (::RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            status = DeleteKeyTree(key.get(), child);
            if (status != ERROR_SUCCESS) return status;
        }
    }
    if (DeleteKeyEx deleteEx = FindDeleteKeyEx()) return deleteEx(parent, subkey.c_str(), 0, 0);
    return ::RegDeleteKeyW(parent, subkey.c_str());
}

std::vector<BYTE> HexToBytes(const std::wstring& text) {
    std::vector<BYTE> bytes((text.size() + 1) / 2, 0);
    unsigned int value = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned int scanned = 0;
        if (swscanf(text.c_str() + i, L"%02X", &scanned) == 1) value = scanned;
        bytes[i / 2] = static_cast<BYTE>(value & 0xFF);
    }
    return bytes;
}

}  // namespace vek
