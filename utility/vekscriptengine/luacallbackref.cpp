#include "luacallbackref.h"

#include <lua/lauxlib.h>

#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/vekscriptengine.h"

LuaCallbackRef::LuaCallbackRef(lua_State* L) : L_(L), ref_(luaL_ref(L, LUA_REGISTRYINDEX)) {}

LuaCallbackRef::~LuaCallbackRef() {
    luaL_unref(L_, LUA_REGISTRYINDEX, ref_);
    ref_ = LUA_NOREF;
}

int LuaCallbackRef::OnError(const std::wstring& path, DWORD error) { return Call(path, &error); }

void LuaCallbackRef::OnNotify(const std::wstring& path) { Call(path, nullptr); }

int LuaCallbackRef::Call(const std::wstring& path, const DWORD* error) {
    const int top = lua_gettop(L_);
    lua_rawgeti(L_, LUA_REGISTRYINDEX, ref_);
    vek::PushText(L_, path);
    if (error) lua_pushnumber(L_, static_cast<lua_Number>(*error));
    const int status = VekScriptEngine::PCall(L_, error ? 2 : 1, 1);
    if (status != LUA_OK) {
        // Only failures that bypass the handler get here (out of memory).
        const char* message = lua_tolstring(L_, -1, nullptr);
        vek::Trace(L"%s\r\n", vek::Utf8ToWide(message ? message : "").c_str());
        lua_settop(L_, top);
        return 2;
    }
    const int result = vek::ToInt32(L_, -1);
    lua_settop(L_, top);
    return result;
}
