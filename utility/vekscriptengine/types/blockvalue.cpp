#include "blockvalue.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace vek {

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
