#include "trace.h"

#include <cstdarg>
#include <cwchar>

#include "textconv.h"

namespace vek {

namespace {
constexpr size_t kTraceChars = 1024;
constexpr wchar_t kTag[] = L"xm ";
constexpr size_t kTagChars = 3;

void TraceV(const wchar_t* format, va_list args) {
    wchar_t buffer[kTraceChars] = {};
    wcscpy(buffer, kTag);
    // msvcrt's formatter: "%s" takes wide text in a wide format.
    _vsnwprintf(buffer + kTagChars, kTraceChars - kTagChars - 1, format, args);
    buffer[kTraceChars - 1] = L'\0';
    ::OutputDebugStringW(buffer);
}
}  // namespace

void Trace(const wchar_t* format, ...) {
    const DWORD lastError = ::GetLastError();  // tracing must not change it
    va_list args;
    va_start(args, format);
    TraceV(format, args);
    va_end(args);
    ::SetLastError(lastError);
}

void TraceErrorAt(const wchar_t* message, const char* file, int line) {
    const std::wstring path = ToWide(file, CP_ACP);
    Trace(L"%sxm file:%s\r\n", message, path.c_str());
    Trace(L"%sxm line:%d\r\n", message, line);
    const DWORD error = ::GetLastError();
    Trace(L"%sxm err:%d\r\n", message, static_cast<int>(error));
}

}  // namespace vek
