// Shortcut files: shell links to files and Internet shortcuts to URLs.
#pragma once

#include <optional>
#include <string>

namespace vek {

struct ShortcutSpec {
    std::wstring target;  // a file path, expanded here, or a URL, used as it is
    std::wstring path;    // the shortcut file to write, expanded
    // File targets only; left unset, the link gets none.
    std::optional<std::wstring> arguments;
    std::optional<std::wstring> description;
};

// Writes the shortcut, replacing a file of that name, after creating its
// folder with every missing parent. A URL target (PathIsURLW) makes an
// Internet shortcut; anything else a shell link whose working folder is the
// target's folder. COM is initialised for the call. Every failure is traced
// (a target that expands too far naming `caller`); a created folder stays.
bool CreateShortcut(const ShortcutSpec& spec, const wchar_t* caller);

}  // namespace vek
