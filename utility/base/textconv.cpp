#include "textconv.h"

#include <climits>

namespace vek {

std::wstring ToWide(std::string_view text, UINT codePage) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int srcLen = static_cast<int>(text.size());
    const int len = ::MultiByteToWideChar(codePage, 0, text.data(), srcLen, nullptr, 0);
    if (len <= 0) return {};
    std::wstring out(static_cast<size_t>(len), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), srcLen, out.data(), len);
    return out;
}

std::string FromWide(std::wstring_view text, UINT codePage) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int srcLen = static_cast<int>(text.size());
    const int len =
        ::WideCharToMultiByte(codePage, 0, text.data(), srcLen, nullptr, 0, nullptr, nullptr);
    if (len <= 0) return {};
    std::string out(static_cast<size_t>(len), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), srcLen, out.data(), len, nullptr, nullptr);
    return out;
}

}  // namespace vek
