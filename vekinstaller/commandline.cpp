#include "commandline.h"

#include <algorithm>
#include <cwchar>

namespace {

// Codes 32 and 0..29 are trimmed from values (30 and 31 stay).
bool IsTrimmed(wchar_t c) { return c == 32 || c <= 29; }

std::wstring TrimValue(const std::wstring& raw) {
    size_t first = 0, last = raw.size();
    while (first < last && IsTrimmed(raw[first])) ++first;
    while (last > first && IsTrimmed(raw[last - 1])) --last;
    std::wstring value = raw.substr(first, last - first);
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

CCommandLine::CCommandLine(const std::wstring& commandLine) : text_(commandLine) {
    size_t pos = 0;
    while (pos < text_.size()) {
        const size_t end = std::min(text_.find(L'/', pos), text_.size());
        if (end > pos) {
            const std::wstring token = text_.substr(pos, end - pos);
            const size_t space = token.find(L' ');
            if (space == std::wstring::npos) {
                values_[token].clear();
            } else {
                values_[token.substr(0, space)] = TrimValue(token.substr(space));
            }
        }
        pos = end + 1;
    }
}

bool CCommandLine::GetValue(const std::wstring& key, std::wstring& value) const {
    value.clear();
    const auto it = values_.find(key);
    if (it == values_.end()) return false;
    value = it->second;
    return true;
}

HWND ListenerWindowFrom(const CCommandLine& commandLine) {
    std::wstring value;
    if (!commandLine.GetValue(L"InstallListenWnd", value)) return nullptr;
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(wcstoul(value.c_str(), nullptr, 10)));
}
