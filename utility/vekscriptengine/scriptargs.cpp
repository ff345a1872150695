#include "scriptargs.h"

#include "utility/base/textconv.h"

namespace vek {

std::wstring ArgText(lua_State* L, int index) {
    size_t len = 0;
    const char* text = lua_tolstring(L, index, &len);
    return text ? Utf8ToWide(std::string_view(text, len)) : std::wstring();
}

lua_Integer ArgInteger(lua_State* L, int index) { return lua_tointegerx(L, index, nullptr); }

lua_Unsigned ArgUnsigned(lua_State* L, int index) { return lua_tounsignedx(L, index, nullptr); }

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
