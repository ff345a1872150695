// A script global that host code reads or writes, named once with its type:
// text (UTF-16 in the host; missing reads as empty), integer (missing or not
// numeric reads as 0) or Lua truth.
#pragma once

#include <lua/lua.h>

#include <string>

template <typename T>
struct ScriptGlobal {
    const char* name;
};

using TextGlobal = ScriptGlobal<std::wstring>;
using IntegerGlobal = ScriptGlobal<lua_Integer>;
using BoolGlobal = ScriptGlobal<bool>;
