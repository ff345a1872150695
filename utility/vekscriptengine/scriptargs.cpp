#include "scriptargs.h"

#include <cmath>

#include "utility/base/paths.h"
#include "utility/base/pathtrace.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"

namespace vek {

// Index 0 is no argument: a host function reading "the last argument" of a
// call without any reads nothing.
std::wstring ArgText(lua_State* L, int index) {
    if (index == 0) return {};
    // A number is read through a copy: the argument itself stays a number.
    const bool isNumber = lua_type(L, index) == LUA_TNUMBER;
    if (isNumber) lua_pushvalue(L, index);
    size_t len = 0;
    const char* text = lua_tolstring(L, isNumber ? -1 : index, &len);
    std::wstring wide = text ? Utf8ToWide(std::string_view(text, len)) : std::wstring();
    if (isNumber) lua_pop(L, 1);
    return wide;
}

int64_t ArgInteger(lua_State* L, int index) {
    if (index == 0) return 0;
    int isNumber = 0;
    const lua_Number value = lua_tonumberx(L, index, &isNumber);
    if (!isNumber || std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // the default rounding: ties to even
    if (rounded >= 9.2e18) return INT64_MAX;
    if (rounded <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(rounded);
}

int32_t ToInt32(lua_State* L, int index) { return static_cast<int32_t>(ToUInt32(L, index)); }

uint32_t ToUInt32(lua_State* L, int index) { return static_cast<uint32_t>(ArgInteger(L, index)); }

bool ArgBool(lua_State* L, int index) { return lua_toboolean(L, index) != 0; }

void PushText(lua_State* L, const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    if (utf8.empty()) {
        lua_pushnil(L);
    } else {
        lua_pushstring(L, utf8.c_str());
    }
}

}  // namespace vek

namespace vek {

void PushString(lua_State* L, const std::wstring& text) {
    const std::string utf8 = WideToUtf8(text);
    lua_pushlstring(L, utf8.data(), utf8.size());
}

}  // namespace vek

namespace vek {

bool ArgExpandedPath(lua_State* L, int index, const wchar_t* function, std::wstring& path) {
    return ExpandPathTraced(index >= 1 ? ArgText(L, index) : std::wstring(), function, path);
}

bool ArgExistingPath(lua_State* L, int index, const wchar_t* function, std::wstring& path) {
    if (!ArgExpandedPath(L, index, function, path)) return false;
    if (PathExists(path)) return true;
    TraceMissingPath(function, path);
    return false;
}

int PushBool(lua_State* L, bool value) {
    lua_pushboolean(L, value ? 1 : 0);
    return 1;
}

}  // namespace vek
