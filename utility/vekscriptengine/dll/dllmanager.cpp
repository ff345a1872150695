#include "dllmanager.h"

#include <windows.h>
#include <shlwapi.h>
#include <lua/lauxlib.h>

#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "utility/base/dllsearch.h"
#include "utility/base/textconv.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/nativecall/callthunk.h"
#include "utility/vekscriptengine/types/blockvalue.h"

namespace {

constexpr char kLibraryMeta[] = "DllManagerMetaTable";
constexpr char kGlobalLibMeta[] = "GlobalLibTableMetaTable";

HMODULE* ToLibrary(lua_State* L, int index) {
    return index >= 1 ? static_cast<HMODULE*>(luaL_testudata(L, index, kLibraryMeta)) : nullptr;
}

void PushLibrary(lua_State* L, HMODULE module) {
    *static_cast<HMODULE*>(lua_newuserdata(L, sizeof(HMODULE))) = module;
    luaL_setmetatable(L, kLibraryMeta);
}

// The library named by the value at `index` (a text, or a number read as
// its text); the value itself stays as it is. A bare name is looked for in
// the system folder only (the process's search); a library given by full
// path finds its own imports beside it.
HMODULE LoadNamed(lua_State* L, int index) {
    if (index < 1) return nullptr;
    const std::wstring name = vek::ArgText(L, index);
    if (!name.empty() && !::PathIsRelativeW(name.c_str())) return vek::LoadLibraryBeside(name);
    return ::LoadLibraryW(name.c_str());
}

// --- results ----------------------------------------------------------------

// "astr": an ANSI string, or 1..0xFFFF as a string resource of the installer.
std::wstring AnsiResult(vek::NativeWord word) {
    if (word == 0) return {};
    if (word <= 0xFFFF) {
        const wchar_t* text = nullptr;
        const int len = ::LoadStringW(::GetModuleHandleW(nullptr), static_cast<UINT>(word),
                                      reinterpret_cast<LPWSTR>(&text), 0);
        return len > 0 ? std::wstring(text, static_cast<size_t>(len)) : std::wstring();
    }
    return vek::ThreadAnsiToWide(reinterpret_cast<const char*>(word));
}

void PushResult(lua_State* L, const char* type, vek::NativeWord word) {
    const uint32_t low = static_cast<uint32_t>(word);  // int, uint and bool are 32-bit results
    if (!type) {
        lua_pushnil(L);
    } else if (strcmp(type, "int") == 0) {
        lua_pushnumber(L, static_cast<int32_t>(low));
    } else if (strcmp(type, "uint") == 0) {
        lua_pushnumber(L, low);
    } else if (strcmp(type, "bool") == 0) {
        lua_pushboolean(L, low != 0);
    } else if (strcmp(type, "astr") == 0) {
        vek::PushString(L, AnsiResult(word));
    } else if (strcmp(type, "wstr") == 0) {
        vek::PushString(L, word ? std::wstring(reinterpret_cast<const wchar_t*>(word)) : std::wstring());
    } else if (strcmp(type, "ptr") == 0) {
        lua_pushlightuserdata(L, reinterpret_cast<void*>(word));
    } else {
        lua_pushnil(L);
    }
}

// --- the call ---------------------------------------------------------------

vek::NativeWord ArgumentWord(lua_State* L, int index) {
    switch (lua_type(L, index)) {
        case LUA_TNIL:
            return 0;
        case LUA_TBOOLEAN:
            return lua_toboolean(L, index) ? 1 : 0;
        case LUA_TNUMBER:  // sign-extended to the machine word
            return static_cast<vek::NativeWord>(static_cast<intptr_t>(vek::ToInt32(L, index)));
        case LUA_TSTRING:  // the script string's own bytes, alive while on the stack
            return reinterpret_cast<vek::NativeWord>(lua_tostring(L, index));
        case LUA_TLIGHTUSERDATA:
        case LUA_TUSERDATA:
            return reinterpret_cast<vek::NativeWord>(lua_touserdata(L, index));
        default:
            return luaL_error(L, "unknow argument type");
    }
}

// Upvalues: result type, caller-cleans flag, export address, the library.
int BoundCall(lua_State* L) {
    const auto* library = static_cast<const HMODULE*>(lua_touserdata(L, lua_upvalueindex(4)));
    if (!library || !*library) return luaL_error(L, "library unloaded");
    const int count = lua_gettop(L);
    if (static_cast<size_t>(count) > vek::kMaxNativeArgs) {
        return luaL_error(L, "too many arguments for a native call (%d, at most %d)", count,
                          static_cast<int>(vek::kMaxNativeArgs));
    }
    std::vector<vek::NativeWord> words(static_cast<size_t>(count));
    for (int k = count; k >= 1; --k) words[static_cast<size_t>(k - 1)] = ArgumentWord(L, k);
    // The stack is restored after the call whatever the callee did, so the
    // caller-cleans flag (upvalue 2) needs no work of its own.
    const void* fn = lua_touserdata(L, lua_upvalueindex(3));
    const vek::NativeWord result = vek::CallNative(fn, words.data(), words.size());
    const DWORD error = ::GetLastError();
    PushResult(L, lua_tostring(L, lua_upvalueindex(1)), result);
    lua_pushnumber(L, error);
    return 2;
}

// --- library methods --------------------------------------------------------

int Get(lua_State* L) {
    HMODULE* library = ToLibrary(L, 1);
    if (!library) {
        vek::Trace(L"if (nullptr == phMod)");
        lua_pushnil(L);
        lua_pushstring(L, "hModule is nil");
        return 2;
    }
    if (!*library) {
        lua_pushnil(L);
        lua_pushstring(L, "library unloaded");
        return 2;
    }
    const char* name = lua_tostring(L, 2);
    FARPROC fn = ::GetProcAddress(*library, name ? name : "");
    if (!fn) {
        const DWORD error = ::GetLastError();
        ::OutputDebugStringW(L"if (nullptr == pfn)");
        lua_pushnil(L);
        lua_pushnumber(L, error);
        return 2;
    }
    const int argc = lua_gettop(L);
    if (argc == 2) {
        lua_pushnil(L);
        lua_pushnil(L);
    } else if (argc == 3) {
        lua_pushvalue(L, 3);
        lua_pushnil(L);
    } else {  // with more than four arguments the last two count
        lua_pushvalue(L, argc == 4 ? 3 : argc - 1);
        lua_pushvalue(L, argc == 4 ? 4 : argc);
    }
    lua_pushlightuserdata(L, reinterpret_cast<void*>(fn));
    lua_pushvalue(L, 1);  // the library: it tells when it was unloaded
    lua_pushcclosure(L, BoundCall, 4);
    lua_pushnumber(L, 0);
    return 2;
}

// Frees the library once; its bound functions refuse to call from then on.
int UnLoad(lua_State* L) {
    HMODULE* library = ToLibrary(L, lua_gettop(L));
    if (library && *library) ::FreeLibrary(std::exchange(*library, nullptr));
    lua_pushnil(L);
    return 1;
}

int Load(lua_State* L) {
    HMODULE module = LoadNamed(L, lua_gettop(L));
    if (!module) {
        const DWORD error = ::GetLastError();
        lua_pushnil(L);
        lua_pushnumber(L, error);
        return 2;
    }
    PushLibrary(L, module);
    return 1;
}

// GLibTab's __index: loads the library named by a missing key and keeps it.
int LoadOnMiss(lua_State* L) {
    const int keyType = lua_type(L, 2);
    if (keyType != LUA_TSTRING && keyType != LUA_TNUMBER) return 0;
    HMODULE module = LoadNamed(L, 2);
    if (!module) return 0;
    PushLibrary(L, module);
    lua_pushvalue(L, 2);
    lua_pushvalue(L, -2);
    lua_rawset(L, 1);
    return 1;
}

}  // namespace

int luaopen_DllManager(lua_State* L) {
    static const luaL_Reg methods[] = {{"UnLoad", UnLoad}, {"Get", Get}, {nullptr, nullptr}};
    vek::OpenValueType(L, kLibraryMeta, methods, "Load", Load);
    return 1;
}

void OpenGlobalLibTable(lua_State* L) {
    lua_newtable(L);
    luaL_newmetatable(L, kGlobalLibMeta);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    lua_pushcfunction(L, LoadOnMiss);
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    lua_setglobal(L, "GLibTab");
}
