// The traces of paths that a caller gave: one that expands too far, one that
// does not exist. Apart from paths.h, which the product's library links alone.
#pragma once

#include <string>

namespace vek {

// ExpandPath, tracing "Fun:<caller>, Description:<path> expands beyond 259
// characters!" when it does not fit.
bool ExpandPathTraced(const std::wstring& path, const wchar_t* caller, std::wstring& out);

// "Fun:<caller>, Description:<path> it's not exists!"
void TraceMissingPath(const wchar_t* caller, const std::wstring& path);

}  // namespace vek
