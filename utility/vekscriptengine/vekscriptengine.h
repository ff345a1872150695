// The one script state of the process and the ways host code uses it.
#pragma once

#include <lua/lua.h>

#include <cstddef>
#include <string>

class VekScriptEngine {
public:
    // Created on first use (thread-safe); start-up code makes the first call
    // before the entry point runs. Throws E_FAIL when no state can be made.
    static VekScriptEngine& GetInstance();

    lua_State* GetState() const { return state_; }

    // Runs the chunk stored as resource `name` of type `type` in the executable.
    bool DoResLua(const wchar_t* type, const wchar_t* name);
    // Loads a compiled or source chunk and runs it without arguments.
    bool DoBuffer(const char* bytes, size_t size, const char* chunkName);
    // Protected call of the function below the `nargs` arguments, with
    // OnScriptError as message handler. Returns the Lua status.
    static int PCall(lua_State* L, int nargs, int nresults);

    // Calls the global function `name` without arguments; a missing global or
    // one that is not a function is skipped.
    void CallEvent(const char* name);

    // The recursive folder deletion behind Lua_DelFileRecursive(Ex): every
    // file, then the folders; the Ex form reports each file that stays.
    static void DeleteDirectories(const std::wstring& folder);
    static void DeleteDirectoriesEx(const std::wstring& folder, class LuaCallbackRef* onFailure);

    // Globals as host code sees them: text (UTF-16, missing = empty),
    // integer (missing = 0), Lua truth.
    std::wstring GetGlobalText(const char* name);
    lua_Integer GetGlobalInteger(const char* name);
    bool GetGlobalBool(const char* name);
    void SetGlobalText(const char* name, const std::wstring& value);
    void SetGlobalBool(const char* name, bool value);

    // The process is ending from inside a script error: the state is left
    // alone by the exit routine.
    void Abandon() { state_ = nullptr; }

    ~VekScriptEngine();
    VekScriptEngine(const VekScriptEngine&) = delete;
    VekScriptEngine& operator=(const VekScriptEngine&) = delete;

private:
    VekScriptEngine();
    lua_State* state_ = nullptr;
};

// Message handler of every protected call: shows the error and the script call
// stack in a message box and ends the process with code 0. Never returns.
int OnScriptError(lua_State* L);
