#include "blockvalue.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace vek {

namespace {

// The nearest integer (ties to even) as a 64-bit value; out-of-range
// numbers saturate before the 32-bit wrap.
int64_t NearestInteger(lua_State* L, int index) {
    int isNumber = 0;
    const lua_Number value = lua_tonumberx(L, index, &isNumber);
    if (!isNumber || std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // the default rounding: ties to even
    if (rounded >= 9.2e18) return INT64_MAX;
    if (rounded <= -9.2e18) return INT64_MIN;
    return static_cast<int64_t>(rounded);
}

}  // namespace

int32_t ToInt32(lua_State* L, int index) {
    return static_cast<int32_t>(static_cast<uint32_t>(NearestInteger(L, index)));
}

uint32_t ToUInt32(lua_State* L, int index) { return static_cast<uint32_t>(NearestInteger(L, index)); }

void* ToBlock(lua_State* L, int index, size_t* size) {
    for (const char* meta : {kAStringMeta, kWStringMeta, kRawBufferMeta}) {
        if (void* block = luaL_testudata(L, index, meta)) {
            if (size) *size = lua_rawlen(L, index);
            return block;
        }
    }
    return nullptr;
}

void* NewBlock(lua_State* L, size_t size, const char* meta) {
    if (size > INT32_MAX) luaL_error(L, "memory allocation error: block too big");
    void* block = lua_newuserdata(L, size);
    luaL_setmetatable(L, meta);
    return block;
}

void OpenValueType(lua_State* L, const char* meta, const luaL_Reg* methods, const char* constructorName,
                   lua_CFunction constructor) {
    lua_newtable(L);
    lua_pushcfunction(L, constructor);
    lua_setfield(L, -2, constructorName);
    luaL_newmetatable(L, meta);
    lua_pushvalue(L, -1);
    lua_setfield(L, -2, "__index");
    luaL_setfuncs(L, methods, 0);
    lua_pop(L, 1);
}

}  // namespace vek
