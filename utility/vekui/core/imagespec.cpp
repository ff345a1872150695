#include "utility/vekui/core/imagespec.h"

#include <cstdio>
#include <cstdlib>

namespace vekui {
namespace {

bool ParseInt(std::string_view text, int* value) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    if (i == text.size()) return false;
    long long result = 0;
    for (; i < text.size() && text[i] != ' '; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        result = result * 10 + (text[i] - '0');
        if (result > 1000000) return false;
    }
    for (; i < text.size(); ++i) {
        if (text[i] != ' ') return false;
    }
    *value = static_cast<int>(negative ? -result : result);
    return true;
}

// "l,t,r,b"
bool ParseRect(std::string_view text, Rect* rect) {
    int v[4];
    for (int k = 0; k < 4; ++k) {
        size_t comma = k < 3 ? text.find(',') : text.size();
        if (comma == std::string_view::npos) return false;
        if (!ParseInt(text.substr(0, comma), &v[k])) return false;
        text.remove_prefix(k < 3 ? comma + 1 : comma);
    }
    *rect = {v[0], v[1], v[2], v[3]};
    return true;
}

void ApplyField(std::string_view key, std::string_view value, ImageSpec* spec) {
    Rect rect;
    int number = 0;
    if (key == "file" || key == "res") {
        spec->file = std::string(value);
    } else if (key == "source") {
        if (ParseRect(value, &rect)) spec->source = rect, spec->hasSource = true;
    } else if (key == "dest") {
        if (ParseRect(value, &rect)) spec->dest = rect, spec->hasDest = true;
    } else if (key == "fade") {
        if (ParseInt(value, &number) && number >= 0 && number <= 255) spec->fade = static_cast<uint8_t>(number);
    } else if (key.size() > 6 && key.substr(0, 6) == "source" && ParseInt(key.substr(6), &number)) {
        if (ParseRect(value, &rect)) spec->sourceAt[number] = rect;
    }
}

}  // namespace

ImageSpec ParseImageSpec(std::string_view text) {
    ImageSpec spec;
    if (text.find('=') == std::string_view::npos || text.find('\'') == std::string_view::npos) {
        spec.file = std::string(text);
        return spec;
    }
    // key='value' pairs separated by blanks; a pair without its closing
    // quote ends the parse.
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        size_t eq = text.find('=', i);
        if (eq == std::string_view::npos || eq + 1 >= text.size() || text[eq + 1] != '\'') break;
        size_t close = text.find('\'', eq + 2);
        if (close == std::string_view::npos) break;
        ApplyField(text.substr(i, eq - i), text.substr(eq + 2, close - eq - 2), &spec);
        i = close + 1;
    }
    return spec;
}

std::string ImageVariantName(const std::string& file, int percent) {
    if (percent == 100) return file;
    size_t slash = file.find_last_of("/\\");
    size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return file;
    char tag[16];
    std::snprintf(tag, sizeof tag, "@%d.", percent);
    return file.substr(0, dot) + tag + file.substr(dot + 1);
}

}  // namespace vekui
