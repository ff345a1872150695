#include "vekscriptengine.h"

#include <lua/lauxlib.h>

#include <comdef.h>
#include <stdexcept>
#include <utility>

#include "utility/base/resources.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/scriptargs.h"
#include "utility/vekscriptengine/scriptlibs.h"

using vek::Trace;

VekScriptEngine& VekScriptEngine::GetInstance() {
    static VekScriptEngine engine;  // closed by the process-exit routines
    return engine;
}

VekScriptEngine::VekScriptEngine() {
    state_ = luaL_newstate();
    if (!state_) throw _com_error(E_FAIL);
    OpenScriptLibraries(state_);
}

VekScriptEngine::~VekScriptEngine() {
    if (state_) lua_close(std::exchange(state_, nullptr));
}

bool VekScriptEngine::DoResLua(const wchar_t* type, const wchar_t* name) {
    const auto lock = Lock();
    std::string_view chunk;
    switch (vek::LoadResourceBytes(::GetModuleHandleW(nullptr), name, type, &chunk)) {
        case vek::ResourceResult::Ok:
            return DoBuffer(chunk.data(), chunk.size(), vek::WideToThreadAnsi(name).c_str());
        case vek::ResourceResult::NotFound:
            Trace(L"LoadResource failed. Type : %s ID : %s\r\n", type, name);
            TraceError(L"");
            return false;
        default:
            return false;
    }
}

bool VekScriptEngine::DoBuffer(const char* bytes, size_t size, const char* chunkName) {
    const auto lock = Lock();
    lua_State* L = state_;
    if (luaL_loadbufferx(L, bytes, size, chunkName, nullptr) != LUA_OK) {
        const char* message = lua_tolstring(L, -1, nullptr);
        const std::wstring text = vek::Utf8ToWide(message ? message : "");
        lua_pop(L, 1);
        Trace(L"%s\r\n", text.c_str());
        Trace(L"luaL_loadbuffer failed!\r\n");
        return false;
    }
    return PCall(L, 0, 0) == LUA_OK;
}

int VekScriptEngine::PCall(lua_State* L, int nargs, int nresults) {
    const auto lock = GetInstance().Lock();
    const int handler = lua_gettop(L) - nargs;  // the function's slot
    lua_pushcfunction(L, OnScriptError);
    lua_insert(L, handler);
    const int status = lua_pcallk(L, nargs, nresults, handler, 0, nullptr);
    // Lua built as C++ catches every exception; one that is not a script
    // error (no status of its own) skipped the handler.
    if (status != LUA_OK && status != LUA_YIELD && status != LUA_ERRRUN && status != LUA_ERRSYNTAX &&
        status != LUA_ERRMEM && status != LUA_ERRGCMM && status != LUA_ERRERR) {
        OnUnhandledException(L);
    }
    lua_remove(L, handler);
    return status;
}

void VekScriptEngine::NoteEntry() {
    const unsigned long inside = eventThread_.load(std::memory_order_acquire);
    if (inside == 0) return;
    const unsigned long self = ::GetCurrentThreadId();
    if (inside == self) return;
    const char* event = eventName_.load(std::memory_order_relaxed);
    crossThreadEntries_.fetch_add(1, std::memory_order_relaxed);
    Trace(L"script state asked for by thread %lu while thread %lu is inside %hs", self, inside,
          event ? event : "an event");
}

VekScriptEngine::EventScope::EventScope(VekScriptEngine& engine, const char* name)
    : engine_(engine),
      lock_(engine.Lock()),
      outerThread_(engine.eventThread_.load(std::memory_order_relaxed)),
      outerEvent_(engine.eventName_.load(std::memory_order_relaxed)) {
    engine_.eventName_.store(name, std::memory_order_relaxed);
    engine_.eventThread_.store(::GetCurrentThreadId(), std::memory_order_release);
}

VekScriptEngine::EventScope::~EventScope() {
    engine_.eventThread_.store(outerThread_, std::memory_order_release);
    engine_.eventName_.store(outerEvent_, std::memory_order_relaxed);
}

void VekScriptEngine::CallEvent(const char* name) {
    const EventScope event(*this, name);
    lua_State* L = state_;
    lua_getglobal(L, name);
    if (lua_type(L, -1) == LUA_TFUNCTION) {
        PCall(L, 0, 0);
    } else {
        lua_pop(L, 1);
    }
}

std::wstring VekScriptEngine::Get(const TextGlobal& global) {
    const auto lock = Lock();
    lua_getglobal(state_, global.name);
    const char* text = lua_tolstring(state_, -1, nullptr);
    std::wstring value = text ? vek::Utf8ToWide(text) : std::wstring();
    lua_pop(state_, 1);
    return value;
}

lua_Integer VekScriptEngine::Get(const IntegerGlobal& global) {
    const auto lock = Lock();
    lua_getglobal(state_, global.name);
    const lua_Integer value = static_cast<lua_Integer>(vek::ArgInteger(state_, -1));
    lua_pop(state_, 1);
    return value;
}

bool VekScriptEngine::Get(const BoolGlobal& global) {
    const auto lock = Lock();
    lua_getglobal(state_, global.name);
    const bool value = lua_toboolean(state_, -1) != 0;
    lua_pop(state_, 1);
    return value;
}

void VekScriptEngine::Set(const TextGlobal& global, const std::wstring& value) {
    const auto lock = Lock();
    lua_pushstring(state_, vek::WideToUtf8(value).c_str());
    lua_setglobal(state_, global.name);
}

void VekScriptEngine::Set(const BoolGlobal& global, bool value) {
    const auto lock = Lock();
    lua_pushboolean(state_, value ? 1 : 0);
    lua_setglobal(state_, global.name);
}

void VekScriptEngine::Set(const IntegerGlobal& global, lua_Integer value) {
    const auto lock = Lock();
    lua_pushinteger(state_, value);
    lua_setglobal(state_, global.name);
}
