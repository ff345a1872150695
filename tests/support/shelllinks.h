// Shortcuts read back through the shell's own interfaces.
#pragma once

#include <string>

namespace vektest {

struct Link {
    std::wstring path, arguments, folder, description, icon;
    int iconIndex = -1;
};

// Empty fields when the file cannot be loaded as a shortcut.
Link ReadLink(const std::wstring& file);

}  // namespace vektest
