// Script values that are blocks of engine-owned memory: AString, WString,
// RawBuffer. A block is a full userdata with no header of ours, so its
// payload address is the address of the text or of byte 0.
#pragma once

#include <lua/lauxlib.h>

#include <cstddef>
#include <cstdint>

#include "utility/vekscriptengine/scriptargs.h"

namespace vek {

constexpr char kAStringMeta[] = "AStringMetaTable";
constexpr char kWStringMeta[] = "WStringMetaTable";
constexpr char kRawBufferMeta[] = "RawBufferMetaTable";

// The payload of an AString, WString or RawBuffer at `index` and its size in
// bytes; nullptr for any other value.
void* ToBlock(lua_State* L, int index, size_t* size);

// Creates a block of `size` bytes with the metatable registered as `meta`,
// leaves it on the stack and returns its payload. Sizes no 32-bit build could
// allocate raise the engine's "block too big" error on every build.
void* NewBlock(lua_State* L, size_t size, const char* meta);

// The opening function of a script value type: leaves the type's global
// table holding its constructor on the stack and registers the metatable
// `meta`, whose `__index` is itself until `methods` replace it.
void OpenValueType(lua_State* L, const char* meta, const luaL_Reg* methods, const char* constructorName,
                   lua_CFunction constructor);

}  // namespace vek

int luaopen_AString(lua_State* L);
int luaopen_WString(lua_State* L);
int luaopen_RawBuffer(lua_State* L);
