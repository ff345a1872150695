// The product's shortcut on the user's desktop.
#pragma once

namespace funchelper {

// "<name>.lnk" in the user's desktop folder, to `target`, working in the
// target's folder, with the target's first icon; replaces a file or link of
// that name. False when nothing was written (null or empty arguments, a name
// with a folder part).
bool CreateDesktopShortcut(const wchar_t* target, const wchar_t* name);

}  // namespace funchelper
