// Argument and result conversions shared by every host function: text is
// UTF-8 in the script and UTF-16 towards the system.
#pragma once

#include <lua/lua.h>

#include <cstdint>
#include <string>

#include "utility/base/pathtrace.h"  // TraceMissingPath

namespace vek {

// Strings and numbers give their text; anything else reads as empty.
std::wstring ArgText(lua_State* L, int index);
// Integer arguments, converted the same way on every target: a number or
// numeric string taken to the nearest integer (ties to even); anything else
// 0. ArgInteger saturates at the 64-bit range; the 32-bit forms wrap
// modulo 2^32 after that.
int64_t ArgInteger(lua_State* L, int index);
int32_t ToInt32(lua_State* L, int index);
uint32_t ToUInt32(lua_State* L, int index);
bool ArgBool(lua_State* L, int index);

// Argument `index` as text with environment variables expanded into at most
// 260 units. False, with a trace naming `function`, when it does not fit.
bool ArgExpandedPath(lua_State* L, int index, const wchar_t* function, std::wstring& path);

// ArgExpandedPath for a path that must exist: false, traced, when it does not.
bool ArgExistingPath(lua_State* L, int index, const wchar_t* function, std::wstring& path);

int PushBool(lua_State* L, bool value);  // returns 1, the result count

// Pushes UTF-8 text; nil when the conversion yields nothing.
void PushText(lua_State* L, const std::wstring& text);
// Pushes UTF-8 text; the empty string when there is none.
void PushString(lua_State* L, const std::wstring& text);

}  // namespace vek
