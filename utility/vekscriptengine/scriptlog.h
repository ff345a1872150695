// Where the scripts' log lines go. The engine writes them; each program that
// hosts the engine names the sink at start-up (its diagnostic log). Lines
// written before that, or without a sink, are dropped.
#pragma once

#include <string_view>

namespace vek {

// `file`, `function` and `line` are those of the host code that writes.
using ScriptLogSink = void (*)(const char* file, const char* function, int line, std::string_view message);

void SetScriptLogSink(ScriptLogSink sink);
void WriteScriptLog(const char* file, const char* function, int line, std::string_view message);

}  // namespace vek

#define VEK_SCRIPT_LOG(message) ::vek::WriteScriptLog(__FILE__, __func__, __LINE__, (message))
