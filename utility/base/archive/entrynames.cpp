#include "entrynames.h"

#include <cwctype>

namespace vek {

namespace {

bool SameLetters(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return true;
}

// COM and LPT take 1-9 and, on newer systems, the superscript digits.
bool IsPortDigit(wchar_t c) { return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3'; }

// The part before its first dot, spaces before that dot ignored, is what
// Windows compares with its device names.
bool IsDeviceName(std::wstring_view part) {
    std::wstring_view base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (SameLetters(base, device)) return true;
    }
    return base.size() == 4 && (SameLetters(base.substr(0, 3), L"COM") || SameLetters(base.substr(0, 3), L"LPT")) &&
           IsPortDigit(base[3]);
}

EntryName CheckPart(std::wstring_view part) {
    if (part == L"..") return EntryName::LeavesDestination;
    if (part.empty() || part.back() == L'.' || part.back() == L' ' || IsDeviceName(part)) {
        return EntryName::RenamedByWindows;
    }
    return EntryName::Acceptable;
}

}  // namespace

EntryName CheckEntryName(std::wstring_view name) {
    if (name.empty() || name[0] == L'/' || name[0] == L'\\' || name.find(L':') != std::wstring_view::npos) {
        return EntryName::LeavesDestination;
    }
    EntryName verdict = EntryName::Acceptable;
    for (size_t start = 0;;) {
        const size_t end = name.find_first_of(L"/\\", start);
        const EntryName part = CheckPart(name.substr(start, end == std::wstring_view::npos ? end : end - start));
        if (part == EntryName::LeavesDestination) return part;  // outranks a renamed part
        if (part != EntryName::Acceptable) verdict = part;
        if (end == std::wstring_view::npos) return verdict;
        start = end + 1;
    }
}

}  // namespace vek
