// Registry host functions: read one value, write one value, delete a value
// or a key tree. Every key is opened with read and write access.
#include <windows.h>

#include "utility/base/paths.h"
#include "utility/base/registry.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

using vek::Trace;

namespace {

LSTATUS SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
    return ::RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
}

LSTATUS SetText(HKEY key, const std::wstring& name, DWORD type, const std::wstring& text) {
    return SetValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// Writes argument 5 as the type named by argument 4; unknown types write nothing.
void WriteData(lua_State* L, HKEY key, const std::wstring& name) {
    const std::wstring type = vek::ArgText(L, 4);
    if (type == L"REG_SZ") {
        std::wstring text;
        if (vek::ExpandPath(vek::ArgText(L, 5), text)) {
            SetText(key, name, REG_SZ, text);
        } else {
            Trace(L"Fun:Lua_RegAdd, Description:%s expands beyond %d characters!\r\n", vek::ArgText(L, 5).c_str(),
                  static_cast<int>(vek::kPathUnits - 1));
        }
    } else if (type == L"REG_EXPAND_SZ") {
        SetText(key, name, REG_EXPAND_SZ, vek::ArgText(L, 5));
    } else if (type == L"REG_DWORD") {
        const uint32_t number = vek::ToUInt32(L, 5);
        SetValue(key, name, REG_DWORD, &number, sizeof number);
    } else if (type == L"REG_BINARY") {
        const std::vector<BYTE> bytes = vek::HexToBytes(vek::ArgText(L, 5));
        SetValue(key, name, REG_BINARY, bytes.data(), bytes.size());
    }
}

void DeleteTree(const std::wstring& rootName, const std::wstring& subkey) {
    vek::UniqueKey root;
    const LSTATUS opened = vek::OpenKey(vek::RootKey(rootName), L"", root);
    if (opened != ERROR_SUCCESS) {
        Trace(L"OpenKey %s failed, errcode: %ld\r\n", rootName.c_str(), static_cast<long>(opened));
        return;
    }
    const LSTATUS deleted = vek::DeleteKeyTree(root.get(), subkey);
    if (deleted != ERROR_SUCCESS) {
        Trace(L"DeleteSubKey %s failed, errcode: %ld", subkey.c_str(), static_cast<long>(deleted));
    }
}

}  // namespace

int Lua_RegQuery(lua_State* L) {
    vek::UniqueKey key;
    if (vek::OpenKey(vek::RootKey(vek::ArgText(L, 1)), vek::ArgText(L, 2), key) != ERROR_SUCCESS) {
        lua_pushnil(L);
        return 1;
    }
    const auto value = vek::QueryValue(key.get(), vek::ArgText(L, 3));
    if (!value) {
        lua_pushnil(L);
    } else if (const auto* text = std::get_if<std::wstring>(&*value)) {
        vek::PushString(L, *text);
    } else {
        lua_pushnumber(L, std::get<uint32_t>(*value));
    }
    return 1;
}

int Lua_RegAdd(lua_State* L) {
    vek::UniqueKey key;
    if (vek::CreateKey(vek::RootKey(vek::ArgText(L, 1)), vek::ArgText(L, 2), key) == ERROR_SUCCESS) {
        const std::wstring name = vek::ArgText(L, 3);
        if (vek::ArgBool(L, 6) || !vek::ValueExists(key.get(), name)) WriteData(L, key.get(), name);
    }
    lua_pushboolean(L, 1);
    return 1;
}

int Lua_RegDel(lua_State* L) {
    const std::wstring rootName = vek::ArgText(L, 1);
    const std::wstring subkey = vek::ArgText(L, 2);
    if (lua_gettop(L) == 2) {
        // A nil or empty key from a script would take every key of the root.
        if (subkey.find_first_not_of(L"\\") == std::wstring::npos) {
            Trace(L"Fun:Lua_RegDel, Description:%s without a subkey, refused!\r\n", rootName.c_str());
            return vek::PushBool(L, false);
        }
        DeleteTree(rootName, subkey);
    } else {
        vek::UniqueKey key;
        if (vek::OpenKey(vek::RootKey(rootName), subkey, key) == ERROR_SUCCESS) {
            const std::wstring value = vek::ArgText(L, 3);
            ::RegDeleteValueW(key.get(), value.c_str());
            Trace(L"Delete Value %s, %s, %s", rootName.c_str(), subkey.c_str(), value.c_str());
        }
    }
    lua_pushboolean(L, 1);
    return 1;
}
