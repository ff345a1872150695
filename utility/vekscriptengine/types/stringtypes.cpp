// AString (8-bit text in the thread's ANSI code page) and WString (UTF-16):
// NUL-terminated text in a block of fixed capacity. Indexing reads and
// writes single characters; there are no methods.
#include <windows.h>

#include <cstring>
#include <string>
#include <type_traits>

#include "utility/base/textconv.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

namespace {

using vek::ToInt32;

template <typename Char>
struct Traits;

template <>
struct Traits<char> {
    static constexpr const char* kMeta = vek::kAStringMeta;
    static std::string FromWide(const std::wstring& w) { return vek::FromWide(w, CP_THREAD_ACP); }
    static std::wstring ToWide(const std::string& s) { return vek::ToWide(s, CP_THREAD_ACP); }
    static int Compare(const std::string& a, const std::string& b) { return ::lstrcmpA(a.c_str(), b.c_str()); }
    // Bytes widen by sign extension: 0x80..0xFF become 0xFF80..0xFFFF.
    static wchar_t Widen(char c) { return static_cast<wchar_t>(static_cast<int16_t>(static_cast<signed char>(c))); }
};

template <>
struct Traits<wchar_t> {
    static constexpr const char* kMeta = vek::kWStringMeta;
    static std::wstring FromWide(const std::wstring& w) { return w; }
    static std::wstring ToWide(const std::wstring& s) { return s; }
    static int Compare(const std::wstring& a, const std::wstring& b) { return ::lstrcmpW(a.c_str(), b.c_str()); }
    static wchar_t Widen(wchar_t c) { return c; }
};

template <typename Char>
using Text = std::basic_string<Char>;

template <typename Char>
struct Block {
    Char* units = nullptr;
    size_t capacity = 0;
};

template <typename Char>
bool ToStringBlock(lua_State* L, int index, Block<Char>* block) {
    void* data = luaL_testudata(L, index, Traits<Char>::kMeta);
    if (!data) return false;
    *block = {static_cast<Char*>(data), lua_rawlen(L, index) / sizeof(Char)};
    return true;
}

// The text before the first NUL, never past the block.
template <typename Char>
Text<Char> TextOf(const Block<Char>& block) {
    size_t length = 0;
    while (length < block.capacity && block.units[length] != 0) ++length;
    return Text<Char>(block.units, length);
}

// Any script value as text of this type (the conversions of New and ..).
template <typename Char>
Text<Char> ValueText(lua_State* L, int index) {
    const int type = lua_type(L, index);
    if (type == LUA_TSTRING || type == LUA_TNUMBER) {
        size_t len = 0;
        const char* utf8 = lua_tolstring(L, index, &len);
        return Traits<Char>::FromWide(vek::Utf8ToWide(std::string_view(utf8, len)));
    }
    Block<char> a;
    if (ToStringBlock(L, index, &a)) {
        if constexpr (std::is_same_v<Char, char>) return TextOf(a);  // bytes as they are
        else return Traits<char>::ToWide(TextOf(a));
    }
    Block<wchar_t> w;
    if (ToStringBlock(L, index, &w)) return Traits<Char>::FromWide(TextOf(w));
    return {};
}

template <typename Char>
Block<Char> CheckSelf(lua_State* L) {
    Block<Char> block;
    if (!ToStringBlock(L, 1, &block)) luaL_error(L, "%s expected", Traits<Char>::kMeta);
    return block;
}

// A new value of `capacity` units holding `text` and its terminator.
template <typename Char>
void PushNew(lua_State* L, const Text<Char>& text, size_t capacity) {
    Char* units = static_cast<Char*>(vek::NewBlock(L, capacity * sizeof(Char), Traits<Char>::kMeta));
    std::memset(units, 0, capacity * sizeof(Char));
    std::memcpy(units, text.data(), text.size() * sizeof(Char));
}

template <typename Char>
int New(lua_State* L) {
    const int64_t requested = ToInt32(L, 1);
    Text<Char> text;
    if (lua_gettop(L) <= 1) {
        if (requested < 1) {
            lua_pushnil(L);
            return 1;
        }
    } else {
        text = ValueText<Char>(L, 2);
    }
    const size_t length = text.size();
    const size_t capacity = requested > static_cast<int64_t>(length) ? static_cast<size_t>(requested) : length + 1;
    PushNew<Char>(L, text, capacity);
    return 1;
}

template <typename Char>
int Index(lua_State* L) {
    const Block<Char> self = CheckSelf<Char>(L);
    const int32_t i = ToInt32(L, 2);
    if (i < 0) {
        lua_pushnil(L);
        return 1;
    }
    if (static_cast<size_t>(i) >= self.capacity) {
        return luaL_error(L, "index %d out of range (capacity %d)", i, static_cast<int>(self.capacity));
    }
    const wchar_t unit = Traits<Char>::Widen(self.units[i]);
    vek::PushString(L, unit ? std::wstring(1, unit) : std::wstring());
    return 1;
}

template <typename Char>
int NewIndex(lua_State* L) {
    const Block<Char> self = CheckSelf<Char>(L);
    const int32_t i = ToInt32(L, 2);
    size_t len = 0;
    const char* utf8 = lua_type(L, 3) == LUA_TSTRING || lua_type(L, 3) == LUA_TNUMBER ? lua_tolstring(L, 3, &len)
                                                                                      : "";
    const Text<Char> value = Traits<Char>::FromWide(vek::Utf8ToWide(std::string_view(utf8, len)));
    // Position 0 is never written; writes stay inside the current text.
    if (i >= 1 && static_cast<size_t>(i) < TextOf(self).size() && !value.empty()) self.units[i] = value[0];
    return 0;
}

template <typename Char>
int Len(lua_State* L) {
    lua_pushinteger(L, static_cast<lua_Integer>(TextOf(CheckSelf<Char>(L)).size()));
    return 1;
}

template <typename Char>
int ToString(lua_State* L) {
    vek::PushString(L, Traits<Char>::ToWide(TextOf(CheckSelf<Char>(L))));
    return 1;
}

// Runs for the type whose metamethod the engine picked: the result has it.
template <typename Char>
int Concat(lua_State* L) {
    const Text<Char> joined = ValueText<Char>(L, 1) + ValueText<Char>(L, 2);
    PushNew<Char>(L, joined, joined.size() + 1);
    return 1;
}

template <typename Char>
int Equal(lua_State* L) {
    Block<Char> a, b;
    const bool equal = ToStringBlock(L, 1, &a) && ToStringBlock(L, 2, &b) &&
                       Traits<Char>::Compare(TextOf(a), TextOf(b)) == 0;
    lua_pushboolean(L, equal);
    return 1;
}

template <typename Char>
int Open(lua_State* L) {
    static const luaL_Reg methods[] = {
        {"__index", Index<Char>},   {"__newindex", NewIndex<Char>}, {"__len", Len<Char>},
        {"__tostring", ToString<Char>}, {"__concat", Concat<Char>}, {"__eq", Equal<Char>},
        {nullptr, nullptr},
    };
    vek::OpenValueType(L, Traits<Char>::kMeta, methods, "New", New<Char>);
    return 1;
}

}  // namespace

int luaopen_AString(lua_State* L) { return Open<char>(L); }
int luaopen_WString(lua_State* L) { return Open<wchar_t>(L); }
