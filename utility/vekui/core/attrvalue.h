// Parsing of the layout's attribute values (see docs/skin-format.md). Each
// parser leaves its output untouched and returns false on a malformed
// value, so that the attribute keeps its default.
#pragma once

#include <string>
#include <string_view>

#include "utility/vekui/core/geometry.h"

namespace vekui {

bool ParseBoolValue(std::string_view text, bool* value);
// Decimal, optionally negative, bounded to +-10^7 (no layout length is larger).
bool ParseIntValue(std::string_view text, int* value);
bool ParseSizeValue(std::string_view text, Size* value);            // "w,h"
bool ParseRectValue(std::string_view text, Rect* value);            // "l,t,r,b"
// "#AARRGGBB", "0xAARRGGBB" or "#RRGGBB" (opaque). Empty is "none" (0).
bool ParseColorValue(std::string_view text, Color* value);
// UTF-8 to UTF-16 units; invalid sequences become U+FFFD.
std::wstring Utf8ToUtf16(std::string_view text);

}  // namespace vekui
