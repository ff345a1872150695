// Script callbacks held by host functions: both shapes, the stack left as
// found, and the registry reference released.
#include <gtest/gtest.h>

#include <lua/lauxlib.h>

#include <cstring>
#include <string>

#include "utility/vekscriptengine/luacallbackref.h"
#include "utility/vekscriptengine/vekscriptengine.h"

namespace {

class CallbackTest : public testing::Test {
protected:
    void SetUp() override {
        const char* script =
            "function on_error(path, err) calls = (calls or '') .. path .. '|' .. err .. ';' return 7 end\n"
            "function on_error_text() return 'seven' end\n"
            "function on_file(path) seen = path end\n";
        ASSERT_TRUE(VekScriptEngine::GetInstance().DoBuffer(script, strlen(script), "callbacks"));
    }
    lua_State* L = VekScriptEngine::GetInstance().GetState();
};

}  // namespace

TEST_F(CallbackTest, ErrorShapePassesPathAndCodeAndReturnsTheInteger) {
    const int top = lua_gettop(L);
    lua_getglobal(L, "on_error");
    LuaCallbackRef callback(L);
    EXPECT_EQ(lua_gettop(L), top);  // the function was taken from the stack
    EXPECT_EQ(callback.OnError(L"C:\\目录\\a.txt", 32), 7);
    EXPECT_EQ(callback.OnError(L"C:\\b", 5), 7);  // the same function again
    EXPECT_EQ(lua_gettop(L), top);
    lua_getglobal(L, "calls");
    EXPECT_STREQ(lua_tostring(L, -1), "C:\\目录\\a.txt|32;C:\\b|5;");
    lua_pop(L, 1);
}

TEST_F(CallbackTest, NonNumericResultReadsAsZero) {
    lua_getglobal(L, "on_error_text");
    LuaCallbackRef callback(L);
    EXPECT_EQ(callback.OnError(L"x", 1), 0);
}

// The same answer means the same on the shipped 32-bit build and on this one:
// the nearest integer, ties to even (0.6 skips the file, it does not retry).
TEST_F(CallbackTest, NumericResultIsTheNearestIntegerOnEveryTarget) {
    const struct {
        const char* result;
        int expected;
    } cases[] = {{"0.6", 1}, {"0.4", 0}, {"2.5", 2}, {"3.5", 4}, {"-0.6", -1}, {"'1.6'", 2}, {"4294967297", 1}};
    for (const auto& c : cases) {
        const std::string script = std::string("function on_answer() return ") + c.result + " end";
        ASSERT_TRUE(VekScriptEngine::GetInstance().DoBuffer(script.data(), script.size(), "answer"));
        lua_getglobal(L, "on_answer");
        LuaCallbackRef callback(L);
        EXPECT_EQ(callback.OnError(L"x", 1), c.expected) << c.result;
    }
}

TEST_F(CallbackTest, NotificationShapePassesThePath) {
    const int top = lua_gettop(L);
    lua_getglobal(L, "on_file");
    LuaCallbackRef callback(L);
    callback.OnNotify(L"C:\\dir\\file.bin");
    EXPECT_EQ(lua_gettop(L), top);
    lua_getglobal(L, "seen");
    EXPECT_STREQ(lua_tostring(L, -1), "C:\\dir\\file.bin");
    lua_pop(L, 1);
}

TEST_F(CallbackTest, ReferenceIsReleasedWithTheObject) {
    int first;
    {
        lua_getglobal(L, "on_file");
        LuaCallbackRef callback(L);
        first = callback.ref();
        EXPECT_GT(first, 0);
    }
    // The freed slot is handed out again.
    lua_getglobal(L, "on_file");
    LuaCallbackRef again(L);
    EXPECT_EQ(again.ref(), first);
}
