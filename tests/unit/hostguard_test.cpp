// Host functions turn C++ exceptions into their failure result, while script
// errors still reach the engine's protected call.
#include <gtest/gtest.h>

#include <lua/lauxlib.h>

#include <new>

#include "utility/vekscriptengine/hostguard.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/vekscriptengine.h"

namespace {

int OutOfMemory(lua_State* L) {
    lua_pushboolean(L, vek::FailOnNativeException([]() -> bool { throw std::bad_alloc(); }, [] { return false; }));
    return 1;
}

int ScriptError(lua_State* L) {
    lua_pushboolean(L, vek::FailOnNativeException([L]() -> bool { return luaL_error(L, "script error"); },
                                                  [] { return false; }));
    return 1;
}

// As every registered host function is called: what it pushed before the
// exception is dropped, and its failure result takes the place.
int ThrowsAfterPushing(lua_State* L) {
    lua_pushliteral(L, "half done");
    throw std::bad_alloc();
}

int RaisesScriptError(lua_State* L) { return luaL_error(L, "script error"); }

int GuardedThrow(lua_State* L) { return vek::CallHostFunction(L, ThrowsAfterPushing, "Lua_Test"); }
int GuardedScriptError(lua_State* L) { return vek::CallHostFunction(L, RaisesScriptError, "Lua_Test"); }

}  // namespace

TEST(HostGuard, RegisteredFunctionsGiveTheirFailureResultOnAnException) {
    lua_State* L = VekScriptEngine::GetInstance().GetState();
    const int top = lua_gettop(L);
    lua_pushcfunction(L, GuardedThrow);
    lua_pushliteral(L, "argument");
    ASSERT_EQ(lua_pcall(L, 1, LUA_MULTRET, 0), LUA_OK);
    ASSERT_EQ(lua_gettop(L), top + 1) << "one result";
    EXPECT_TRUE(lua_isboolean(L, -1) && !lua_toboolean(L, -1));
    lua_settop(L, top);

    lua_pushcfunction(L, GuardedScriptError);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "script error");
    lua_settop(L, top);
}

TEST(HostGuard, MemoryErrorsBecomeTheFailureResultScriptErrorsPass) {
    lua_State* L = VekScriptEngine::GetInstance().GetState();
    const int top = lua_gettop(L);
    lua_pushcfunction(L, OutOfMemory);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), LUA_OK);
    EXPECT_TRUE(lua_isboolean(L, -1) && !lua_toboolean(L, -1));
    lua_settop(L, top);

    lua_pushcfunction(L, ScriptError);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "script error");
    lua_settop(L, top);
}
