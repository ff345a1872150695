// Unicode text on the clipboard.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <string>

namespace vekui {

std::wstring ReadClipboardText(HWND owner);
bool WriteClipboardText(HWND owner, const std::wstring& text);

}  // namespace vekui
