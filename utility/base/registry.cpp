#include "registry.h"

#include <cwchar>
#include <map>

#include "utility/base/paths.h"
#include "utility/base/pathtrace.h"
#include "utility/base/trace.h"

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

std::optional<RegValue> ReadRegValue(HKEY root, const std::wstring& subkey, const std::wstring& name) {
    UniqueKey key;
    if (OpenKey(root, subkey, key) != ERROR_SUCCESS) return std::nullopt;
    return QueryValue(key.get(), name);
}

namespace {

LSTATUS SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
    return ::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

LSTATUS SetText(HKEY key, const std::wstring& name, DWORD type, const std::wstring& text) {
    return SetValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

LSTATUS SetData(HKEY key, const RegWrite& write) {
    switch (write.type) {
        case REG_SZ: {
            std::wstring text;
            if (!ExpandPathTraced(write.text, write.caller, text)) return ERROR_INSUFFICIENT_BUFFER;
            return SetText(key, write.name, REG_SZ, text);
        }
        case REG_EXPAND_SZ: return SetText(key, write.name, REG_EXPAND_SZ, write.text);
        case REG_DWORD: return SetValue(key, write.name, REG_DWORD, &write.number, sizeof write.number);
        case REG_BINARY: {
            const std::vector<BYTE> bytes = HexToBytes(write.text);
            return SetValue(key, write.name, REG_BINARY, bytes.data(), bytes.size());
        }
        default: return ERROR_SUCCESS;
    }
}

}  // namespace

Status WriteRegValue(const RegWrite& write) {
    UniqueKey key;
    const LSTATUS created = CreateKey(write.root, write.subkey, key);
    if (created != ERROR_SUCCESS) return Status::FromCode(created);
    if (!write.overwrite && ValueExists(key.get(), write.name)) return Status::Success();
    return Status::FromCode(SetData(key.get(), write));
}

Status DeleteRegValue(const std::wstring& rootName, const std::wstring& subkey, const std::wstring& name) {
    UniqueKey key;
    const LSTATUS opened = OpenKey(RootKey(rootName), subkey, key);
    if (opened == ERROR_FILE_NOT_FOUND) return Status::Gone(opened);
    if (opened != ERROR_SUCCESS) return Status::FromCode(opened);
    const LSTATUS deleted = ::RegDeleteValueW(key.get(), name.c_str());
    Trace(L"Delete Value %s, %s, %s", rootName.c_str(), subkey.c_str(), name.c_str());
    return deleted == ERROR_FILE_NOT_FOUND ? Status::Gone(deleted) : Status::FromCode(deleted);
}

Status DeleteRegTree(const std::wstring& rootName, const std::wstring& subkey) {
    UniqueKey root;
    const LSTATUS opened = OpenKey(RootKey(rootName), L"", root);
    if (opened != ERROR_SUCCESS) {
        Trace(L"OpenKey %s failed, errcode: %ld\r\n", rootName.c_str(), static_cast<long>(opened));
        return Status::FromCode(opened);
    }
    const LSTATUS deleted = DeleteKeyTree(root.get(), subkey);
    if (deleted != ERROR_SUCCESS) {
        Trace(L"DeleteSubKey %s failed, errcode: %ld", subkey.c_str(), static_cast<long>(deleted));
    }
    return deleted == ERROR_FILE_NOT_FOUND ? Status::Gone(deleted) : Status::FromCode(deleted);
}

}  // namespace vek
