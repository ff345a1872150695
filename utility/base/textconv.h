// The one place where text changes encoding. Every conversion goes through
// UTF-16; the code page is an argument (CP_UTF8, CP_THREAD_ACP, CP_ACP).
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

namespace vek {

std::wstring ToWide(std::string_view text, UINT codePage);
std::string FromWide(std::wstring_view text, UINT codePage);

inline std::wstring Utf8ToWide(std::string_view text) { return ToWide(text, CP_UTF8); }
inline std::string WideToUtf8(std::wstring_view text) { return FromWide(text, CP_UTF8); }
// The calling thread's ANSI code page (936 on a Chinese system).
inline std::string WideToThreadAnsi(std::wstring_view text) { return FromWide(text, CP_THREAD_ACP); }
inline std::wstring ThreadAnsiToWide(std::string_view text) { return ToWide(text, CP_THREAD_ACP); }
// The system's ANSI code page.
inline std::string WideToSystemAnsi(std::wstring_view text) { return FromWide(text, CP_ACP); }

}  // namespace vek
