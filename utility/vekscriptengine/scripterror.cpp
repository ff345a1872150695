// The message handler of protected calls: a script error ends the program
// after showing the error and the script call stack.
#include <lua/lauxlib.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "utility/base/textconv.h"
#include "utility/vekscriptengine/vekscriptengine.h"

namespace {

std::atomic<unsigned> g_exitCode{0};

void AppendFormat(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int len = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (len > 0) {
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(len) + 1);
        vsnprintf(out.data() + at, static_cast<size_t>(len) + 1, format, args);
        out.resize(at + static_cast<size_t>(len));
    }
    va_end(args);
}

const char* OrNull(const char* s) { return s ? s : "(null)"; }

void AppendCallStack(lua_State* L, std::string& out) {
    lua_Debug frame;
    for (int level = 0; lua_getstack(L, level, &frame); ++level) {
        lua_getinfo(L, "nSlu", &frame);
        const char* prefix = "--  | ";
        if (level == 0) {
            out += "      <call stack>\n";
            prefix = "-> | ";
        }
        if (frame.name) {
            AppendFormat(out, "%s%s() : line %d [%s : line %d]\n", prefix, frame.name,
                         frame.currentline, OrNull(frame.source), frame.linedefined);
        } else {
            AppendFormat(out, "%sunknown : line %d [%s : line %d]\n", prefix, frame.currentline,
                         OrNull(frame.source), frame.linedefined);
        }
    }
}

[[noreturn]] void ShowAndExit(lua_State* L, const char* error) {
    std::string text;
    AppendFormat(text, "%s\n", OrNull(error));
    AppendCallStack(L, text);
    // Script text is UTF-8: error messages carry script strings and chunk names.
    std::wstring message = vek::Utf8ToWide(text);
    message += L"请向我们反馈以上错误信息，以便我们改善产品质量！";
    ::MessageBoxW(nullptr, message.c_str(), L":-( 杯具，脚本执行时发生错误", MB_ICONERROR);
    VekScriptEngine::GetInstance().Abandon();
    ::ExitProcess(g_exitCode.load());
}

}  // namespace

int OnScriptError(lua_State* L) { ShowAndExit(L, lua_tolstring(L, 1, nullptr)); }

void OnUnhandledException(lua_State* L) { ShowAndExit(L, "C++ exception in host code"); }

void SetScriptErrorExitCode(unsigned code) { g_exitCode.store(code); }
