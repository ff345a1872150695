// Resources of a module as bytes.
#pragma once

#include <windows.h>

#include <string_view>

namespace vek {

enum class ResourceResult { Ok, NotFound, NotLocked, Empty };

// Finds, loads and locks resource `name` of `type`, reporting nothing. An
// empty resource still gives its (empty) bytes.
ResourceResult FindResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                                 std::string_view* bytes);

// The same, for the host's own resources: a resource that cannot be
// locked or is empty is reported on the debug trace here; a missing one is
// left for the caller to report. The bytes of a loaded resource stay valid
// for the life of the module.
ResourceResult LoadResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                                 std::string_view* bytes);

}  // namespace vek
