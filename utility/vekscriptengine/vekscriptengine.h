// The one script state of the process and the ways host code uses it.
// Everything that enters the state (chunks, protected calls, events,
// globals) holds the engine's one recursive lock, so one thread at a time is
// inside the state; host functions and script callbacks run inside an event
// on the thread that holds it. Host code of another thread that asks for the
// state while an event runs is a fault of its caller (a window must stay out
// between its events): it is traced and counted, then waits as before.
#pragma once

#include <lua/lua.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

#include "utility/vekscriptengine/scriptglobal.h"

class VekScriptEngine {
public:
    // Created on first use (thread-safe); start-up code makes the first call
    // before the entry point runs. Throws E_FAIL when no state can be made.
    static VekScriptEngine& GetInstance();

    lua_State* GetState() const { return state_; }

    // The state's lock, for work that must not interleave with an event
    // (an install stage and what it reads first). TryLock never waits: a
    // window thread uses it to stay out while the worker is inside an event.
    std::unique_lock<std::recursive_mutex> Lock() {
        NoteEntry();
        return std::unique_lock<std::recursive_mutex>(lock_);
    }
    std::unique_lock<std::recursive_mutex> TryLock() {
        return std::unique_lock<std::recursive_mutex>(lock_, std::try_to_lock);
    }

    // Holds the lock for the whole of an event and marks this thread as
    // inside it. `name` must live as long as the program (event names are
    // literals): other threads read it without the lock.
    class EventScope {
    public:
        EventScope(VekScriptEngine& engine, const char* name);
        ~EventScope();
        EventScope(const EventScope&) = delete;
        EventScope& operator=(const EventScope&) = delete;

    private:
        VekScriptEngine& engine_;
        std::unique_lock<std::recursive_mutex> lock_;
        unsigned long outerThread_;
        const char* outerEvent_;
    };

    // How often host code asked for the state while another thread was
    // inside an event.
    unsigned CrossThreadEntries() const { return crossThreadEntries_.load(std::memory_order_relaxed); }

    // Runs the chunk stored as resource `name` of type `type` in the executable.
    bool DoResLua(const wchar_t* type, const wchar_t* name);
    // Loads a compiled or source chunk and runs it without arguments.
    bool DoBuffer(const char* bytes, size_t size, const char* chunkName);
    // Protected call of the function below the `nargs` arguments, with
    // OnScriptError as message handler. Returns the Lua status. A C++
    // exception that reaches it ends the process like a script error.
    static int PCall(lua_State* L, int nargs, int nresults);

    // Calls the global function `name` without arguments; a missing global or
    // one that is not a function is skipped.
    void CallEvent(const char* name);

    // Globals as host code sees them.
    std::wstring Get(const TextGlobal& global);
    lua_Integer Get(const IntegerGlobal& global);
    bool Get(const BoolGlobal& global);
    void Set(const TextGlobal& global, const std::wstring& value);
    void Set(const BoolGlobal& global, bool value);
    void Set(const IntegerGlobal& global, lua_Integer value);

    // The process is ending from inside a script error: the state is left
    // alone by the exit routine.
    void Abandon() { state_ = nullptr; }

    ~VekScriptEngine();
    VekScriptEngine(const VekScriptEngine&) = delete;
    VekScriptEngine& operator=(const VekScriptEngine&) = delete;

private:
    VekScriptEngine();
    // Before the wait for the lock: once it is taken the other thread has
    // left its event and nothing would show.
    void NoteEntry();

    lua_State* state_ = nullptr;
    std::recursive_mutex lock_;
    std::atomic<unsigned long> eventThread_{0};  // 0: no thread inside an event
    std::atomic<const char*> eventName_{nullptr};
    std::atomic<unsigned> crossThreadEntries_{0};
};

// Message handler of every protected call: shows the error and the script call
// stack in a message box and ends the process. Never returns.
int OnScriptError(lua_State* L);
// The exit code of a process that a script error ends: 0 unless the program
// sets another (a caller that waits for it must see the failure).
void SetScriptErrorExitCode(unsigned code);
// The same end for a C++ exception of host code that reached a protected call.
[[noreturn]] void OnUnhandledException(lua_State* L);
