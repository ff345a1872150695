// RawBuffer: a block of zeroed bytes with typed accessors, called with method
// syntax. Every accessor checks that it stays inside the block.
#include <windows.h>

#include <cstring>
#include <string>

#include "utility/base/textconv.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/types/blockvalue.h"

namespace {

using vek::ToInt32;
using vek::ToUInt32;

struct Access {
    unsigned char* bytes;  // byte `offset` of the buffer
    size_t available;      // bytes from there to the end of the buffer
};

// The accessors read their operands from the end of the argument list: the
// buffer `operands` places from the top, the offset right after it.
Access CheckAccess(lua_State* L, int operands, size_t width) {
    const int top = lua_gettop(L);
    const int bufferIndex = top - operands + 1;
    void* data = bufferIndex >= 1 ? luaL_testudata(L, bufferIndex, vek::kRawBufferMeta) : nullptr;
    if (!data) luaL_error(L, "RawBuffer expected");
    const size_t size = lua_rawlen(L, bufferIndex);
    const int32_t offset = ToInt32(L, bufferIndex + 1);
    if (offset < 0 || static_cast<size_t>(offset) >= size || size - static_cast<size_t>(offset) < width) {
        luaL_error(L, "offset %d out of range (buffer of %d bytes)", offset, static_cast<int>(size));
    }
    return {static_cast<unsigned char*>(data) + offset, size - static_cast<size_t>(offset)};
}

template <typename T>
T Load(const Access& at) {
    T value;
    std::memcpy(&value, at.bytes, sizeof value);
    return value;
}

template <typename T>
void Store(const Access& at, T value) {
    std::memcpy(at.bytes, &value, sizeof value);
}

template <typename T>
int Get(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(Load<T>(CheckAccess(L, 2, sizeof(T)))));
    return 1;
}

template <typename T, bool Unsigned>
int Set(lua_State* L) {
    const Access at = CheckAccess(L, 3, sizeof(T));
    const uint32_t word = Unsigned ? ToUInt32(L, -1) : static_cast<uint32_t>(ToInt32(L, -1));
    Store<T>(at, static_cast<T>(word));  // the low bits of the value
    return 0;
}

int GetBoolean(lua_State* L) {
    lua_pushboolean(L, Load<uint32_t>(CheckAccess(L, 2, 4)) != 0);
    return 1;
}

int SetBoolean(lua_State* L) {
    const Access at = CheckAccess(L, 3, 4);
    Store<uint32_t>(at, lua_toboolean(L, -1) ? 1 : 0);
    return 0;
}

// The address of byte `offset`, not the pointer stored there.
int GetPointer(lua_State* L) {
    lua_pushlightuserdata(L, CheckAccess(L, 2, 1).bytes);
    return 1;
}

// Pointers take the machine's pointer width.
int SetPointer(lua_State* L) {
    const Access at = CheckAccess(L, 3, sizeof(void*));
    const int type = lua_type(L, -1);
    void* pointer = type == LUA_TUSERDATA || type == LUA_TLIGHTUSERDATA ? lua_touserdata(L, -1) : nullptr;
    Store<void*>(at, pointer);
    return 0;
}

// Text up to its terminator, never past the buffer.
template <typename Char>
std::basic_string<Char> TextAt(const Access& at) {
    const size_t capacity = at.available / sizeof(Char);
    size_t length = 0;
    while (length < capacity && Load<Char>({at.bytes + length * sizeof(Char), 0}) != 0) ++length;
    std::basic_string<Char> text(length, Char());
    std::memcpy(text.data(), at.bytes, length * sizeof(Char));
    return text;
}

int GetWString(lua_State* L) {
    vek::PushString(L, TextAt<wchar_t>(CheckAccess(L, 2, sizeof(wchar_t))));
    return 1;
}

int GetAString(lua_State* L) {
    vek::PushString(L, vek::ThreadAnsiToWide(TextAt<char>(CheckAccess(L, 2, 1))));
    return 1;
}

// OffsetSetAsWString and OffsetSetAsAString: a byte copy of the whole block
// of an AString, WString or RawBuffer, terminator and all, without conversion.
int SetBlockCopy(lua_State* L) {
    size_t size = 0;
    const void* source = vek::ToBlock(L, -1, &size);
    if (!source) return luaL_error(L, "AString, WString or RawBuffer expected");
    std::memmove(CheckAccess(L, 3, size).bytes, source, size);
    return 0;
}

int New(lua_State* L) {
    const uint32_t size = ToUInt32(L, 1);
    if (size == 0) {
        lua_pushnil(L);
        return 1;
    }
    std::memset(vek::NewBlock(L, size, vek::kRawBufferMeta), 0, size);
    return 1;
}

const luaL_Reg kMethods[] = {
    {"OffsetGetAsInt32", Get<int32_t>},
    {"OffsetGetAsUInt32", Get<uint32_t>},
    {"OffsetGetAsInt16", Get<int16_t>},
    {"OffsetGetAsUInt16", Get<uint16_t>},
    {"OffsetGetAsInt8", Get<int8_t>},
    {"OffsetGetAsUInt8", Get<uint8_t>},
    {"OffsetGetAsWString", GetWString},
    {"OffsetGetAsAString", GetAString},
    {"OffsetGetAsBoolean", GetBoolean},
    {"OffsetGetAsPointer", GetPointer},
    {"OffsetSetAsInt32", Set<int32_t, false>},
    {"OffsetSetAsUInt32", Set<uint32_t, true>},
    {"OffsetSetAsInt16", Set<int16_t, false>},
    {"OffsetSetAsUInt16", Set<uint16_t, true>},
    {"OffsetSetAsInt8", Set<int8_t, false>},
    {"OffsetSetAsUInt8", Set<uint8_t, true>},
    {"OffsetSetAsWString", SetBlockCopy},
    {"OffsetSetAsAString", SetBlockCopy},
    {"OffsetSetAsBoolean", SetBoolean},
    {"OffsetSetAsPointer", SetPointer},
    {nullptr, nullptr},
};

}  // namespace

int luaopen_RawBuffer(lua_State* L) {
    vek::OpenValueType(L, vek::kRawBufferMeta, kMethods, "New", New);
    return 1;
}
