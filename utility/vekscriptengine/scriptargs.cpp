#include "scriptargs.h"

#include "utility/base/paths.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"

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

namespace vek {

bool ArgExpandedPath(lua_State* L, int index, const wchar_t* function, std::wstring& path) {
    const std::wstring raw = index >= 1 ? ArgText(L, index) : std::wstring();
    if (ExpandPath(raw, path)) return true;
    Trace(L"Fun:%s, Description:%s expands beyond %d characters!\r\n", function, raw.c_str(),
          static_cast<int>(kPathUnits - 1));
    return false;
}

void TraceMissingPath(const wchar_t* function, const std::wstring& path) {
    Trace(L"Fun:%s, Description:%s it's not exists!\r\n", function, path.c_str());
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
