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

// Both guards: the one every registered host function is called through,
// and the one the archive functions put around their native work.
TEST(HostGuard, ExceptionsBecomeTheFailureResultScriptErrorsPass) {
    const struct {
        const char* guard;
        lua_CFunction throws, raises;
    } cases[] = {{"registered", GuardedThrow, GuardedScriptError}, {"around native work", OutOfMemory, ScriptError}};
    lua_State* L = VekScriptEngine::GetInstance().GetState();
    const int top = lua_gettop(L);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.guard);
        lua_pushcfunction(L, c.throws);
        lua_pushliteral(L, "argument");
        ASSERT_EQ(lua_pcall(L, 1, LUA_MULTRET, 0), LUA_OK);
        ASSERT_EQ(lua_gettop(L), top + 1) << "one result";
        EXPECT_TRUE(lua_isboolean(L, -1) && !lua_toboolean(L, -1));
        lua_settop(L, top);

        lua_pushcfunction(L, c.raises);
        ASSERT_EQ(lua_pcall(L, 0, 1, 0), LUA_ERRRUN);
        EXPECT_STREQ(lua_tostring(L, -1), "script error");
        lua_settop(L, top);
    }
}
