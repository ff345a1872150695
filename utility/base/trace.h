// Debug trace for an attached debugger: every line starts with the tag "xm ".
#pragma once

#include <windows.h>

namespace vek {

// printf-style wide format ("%s" is wide text); the result is cut at 1024
// wide characters including the tag. No line break is added.
void Trace(const wchar_t* format, ...);

// Error report: the message followed by the source file, the line and the
// thread's last error, as three trace lines.
void TraceErrorAt(const wchar_t* message, const char* file, int line);

}  // namespace vek

#define TraceError(message) ::vek::TraceErrorAt((message), __FILE__, __LINE__)
