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

// Deletes `subkey` of `parent` with everything below it.
LSTATUS DeleteKeyTree(HKEY parent, const std::wstring& subkey);

// Hexadecimal digit pairs to bytes, pair by pair with the scanner format
// "%02X": a pair that does not scan repeats the previous byte, an odd last
// digit stands alone ("123" gives 12 03).
std::vector<BYTE> HexToBytes(const std::wstring& text);

}  // namespace vek
