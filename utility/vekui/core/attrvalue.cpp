#include "utility/vekui/core/attrvalue.h"

#include <cstdint>

namespace vekui {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool ParseList(std::string_view text, int* values, int count) {
    int parsed[4];
    for (int k = 0; k < count; ++k) {
        size_t comma = k + 1 < count ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return false;
        if (!ParseIntValue(text.substr(0, comma), &parsed[k])) return false;
        text.remove_prefix(k + 1 < count ? comma + 1 : comma);
    }
    for (int k = 0; k < count; ++k) values[k] = parsed[k];
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendCodePoint(uint32_t cp, std::wstring* out) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out->push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out->push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out->push_back(static_cast<wchar_t>(cp));
    }
}

}  // namespace

bool ParseBoolValue(std::string_view text, bool* value) {
    text = Trim(text);
    if (text == "true") return *value = true, true;
    if (text == "false") return *value = false, true;
    return false;
}

bool ParseIntValue(std::string_view text, int* value) {
    text = Trim(text);
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return false;
    long long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
        if (result > 10000000) return false;
    }
    *value = static_cast<int>(negative ? -result : result);
    return true;
}

bool ParseSizeValue(std::string_view text, Size* value) {
    int v[2];
    if (!ParseList(text, v, 2)) return false;
    *value = {v[0], v[1]};
    return true;
}

bool ParseRectValue(std::string_view text, Rect* value) {
    int v[4];
    if (!ParseList(text, v, 4)) return false;
    *value = {v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseColorValue(std::string_view text, Color* value) {
    text = Trim(text);
    if (text.empty()) return *value = 0, true;
    if (text.front() == '#') {
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    } else {
        return false;
    }
    if (text.size() != 6 && text.size() != 8) return false;
    Color color = 0;
    for (char c : text) {
        int d = HexDigit(c);
        if (d < 0) return false;
        color = (color << 4) | static_cast<Color>(d);
    }
    *value = text.size() == 6 ? (0xFF000000u | color) : color;
    return true;
}

std::wstring Utf8ToUtf16(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        uint32_t cp = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        static const uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (ok && extra > 0 && (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        AppendCodePoint(cp, &out);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace vekui
