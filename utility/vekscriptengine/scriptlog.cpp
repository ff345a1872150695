#include "scriptlog.h"

#include <atomic>

namespace vek {

namespace {
std::atomic<ScriptLogSink> g_sink{nullptr};
}  // namespace

void SetScriptLogSink(ScriptLogSink sink) { g_sink.store(sink); }

void WriteScriptLog(const char* file, const char* function, int line, std::string_view message) {
    if (const ScriptLogSink sink = g_sink.load()) sink(file, function, line, message);
}

}  // namespace vek
