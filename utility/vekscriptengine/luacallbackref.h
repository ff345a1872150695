// A script function handed to a host function for later calls. The function
// is held in the registry for the duration of the host call; the reference is
// released when this object goes, on every path.
#pragma once

#include <windows.h>
#include <lua/lauxlib.h>

#include <string>

class LuaCallbackRef {
public:
    // Takes (and pops) the value on the top of the stack.
    explicit LuaCallbackRef(lua_State* L);
    ~LuaCallbackRef();
    LuaCallbackRef(const LuaCallbackRef&) = delete;
    LuaCallbackRef& operator=(const LuaCallbackRef&) = delete;

    int ref() const { return ref_; }

    // Error shape: (path, system error number) -> integer. A result that is
    // not a number gives 0; a call that fails outside the error handler, 2.
    int OnError(const std::wstring& path, DWORD error);
    // Notification shape: (path).
    void OnNotify(const std::wstring& path);

private:
    int Call(const std::wstring& path, const DWORD* error);

    lua_State* L_;
    int ref_ = LUA_NOREF;
};
