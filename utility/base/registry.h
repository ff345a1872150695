// Registry access for the host functions: keys are always opened with read
// and write access, in the process's own registry view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "utility/base/handles.h"
#include "utility/base/status.h"

namespace vek {

// "HKCR", "HKCU", "HKLM", "HKU", "HKCC" (exact case); nullptr otherwise.
HKEY RootKey(const std::wstring& name);

LSTATUS OpenKey(HKEY root, const std::wstring& subkey, UniqueKey& key);
LSTATUS CreateKey(HKEY root, const std::wstring& subkey, UniqueKey& key);

// A string (REG_SZ, REG_EXPAND_SZ; unexpanded, up to the first NUL) or a
// 32-bit number (REG_DWORD); nothing for a missing value or any other type.
using RegValue = std::variant<std::wstring, uint32_t>;
std::optional<RegValue> QueryValue(HKEY key, const std::wstring& name);
bool ValueExists(HKEY key, const std::wstring& name);

// Root, subkey and value name opened and read in one; nothing when the key
// cannot be opened.
std::optional<RegValue> ReadRegValue(HKEY root, const std::wstring& subkey, const std::wstring& name);

// One value to write, as the scripts give it.
struct RegWrite {
    HKEY root = nullptr;
    std::wstring subkey, name;
    // REG_SZ (the text expanded into kPathUnits; one that does not fit is
    // traced naming `caller` and not written), REG_EXPAND_SZ (the text as it
    // is), REG_DWORD (`number`), REG_BINARY (`text` as hexadecimal digit
    // pairs, HexToBytes); REG_NONE writes nothing.
    DWORD type = REG_NONE;
    std::wstring text;
    uint32_t number = 0;
    bool overwrite = false;  // otherwise an existing value stays as it is
    const wchar_t* caller = L"";
};

// Creates the key (non-volatile) and writes the value. An existing value
// kept because `overwrite` is false is ok.
Status WriteRegValue(const RegWrite& write);

// Deletes value `name` of root `rootName` (RootKey) and `subkey`; traced
// "Delete Value <root>, <subkey>, <name>" once the key is open, whatever the
// deletion gives. A key or value that is not there is ok.
Status DeleteRegValue(const std::wstring& rootName, const std::wstring& subkey, const std::wstring& name);

// Deletes `subkey` of root `rootName` with everything below it, traced
// "OpenKey <root> failed, errcode: <n>" or "DeleteSubKey <subkey> failed,
// errcode: <n>" (a key that is not there is traced too, but ok). The caller
// refuses an empty subkey: that would be every key of the root.
Status DeleteRegTree(const std::wstring& rootName, const std::wstring& subkey);

// Deletes `subkey` of `parent` with everything below it.
LSTATUS DeleteKeyTree(HKEY parent, const std::wstring& subkey);

// Hexadecimal digit pairs to bytes, pair by pair with the scanner format
// "%02X": a pair that does not scan repeats the previous byte, an odd last
// digit stands alone ("123" gives 12 03).
std::vector<BYTE> HexToBytes(const std::wstring& text);

}  // namespace vek
