// Registry host functions: read one value, write one value, delete a value
// or a key tree. Every key is opened with read and write access.
#include "utility/base/registry.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"

namespace {

// The type name of argument 4 (exact case); REG_NONE for any other.
DWORD ArgValueType(lua_State* L, int index) {
    const std::wstring type = vek::ArgText(L, index);
    if (type == L"REG_SZ") return REG_SZ;
    if (type == L"REG_EXPAND_SZ") return REG_EXPAND_SZ;
    if (type == L"REG_DWORD") return REG_DWORD;
    if (type == L"REG_BINARY") return REG_BINARY;
    return REG_NONE;
}

}  // namespace

int Lua_RegQuery(lua_State* L) {
    const auto value = vek::ReadRegValue(vek::RootKey(vek::ArgText(L, 1)), vek::ArgText(L, 2), vek::ArgText(L, 3));
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
    vek::RegWrite write;
    write.root = vek::RootKey(vek::ArgText(L, 1));
    write.subkey = vek::ArgText(L, 2);
    write.name = vek::ArgText(L, 3);
    write.type = ArgValueType(L, 4);
    write.text = vek::ArgText(L, 5);
    write.number = vek::ToUInt32(L, 5);
    write.overwrite = vek::ArgBool(L, 6);
    write.caller = L"Lua_RegAdd";
    vek::WriteRegValue(write);  // the scripts read back what they need to know
    return vek::PushBool(L, true);
}

int Lua_RegDel(lua_State* L) {
    const std::wstring rootName = vek::ArgText(L, 1);
    const std::wstring subkey = vek::ArgText(L, 2);
    if (lua_gettop(L) != 2) {
        vek::DeleteRegValue(rootName, subkey, vek::ArgText(L, 3));
        return vek::PushBool(L, true);
    }
    // A nil or empty key from a script would take every key of the root.
    if (subkey.find_first_not_of(L"\\") == std::wstring::npos) {
        vek::Trace(L"Fun:Lua_RegDel, Description:%s without a subkey, refused!\r\n", rootName.c_str());
        return vek::PushBool(L, false);
    }
    vek::DeleteRegTree(rootName, subkey);
    return vek::PushBool(L, true);
}
