// Resources of the running program: found by a 16-bit id or a name, and
// written to a file.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "utility/base/resources.h"

namespace vek {

// Archives are stored under this type with their first two bytes exchanged.
constexpr wchar_t kArchiveResourceType[] = L"_7Z";

struct ResourceName {
    std::wstring text;  // empty: the id is meant
    WORD id = 0;
    const wchar_t* get() const { return text.empty() ? MAKEINTRESOURCEW(id) : text.c_str(); }
};

// A resource of the running program, found without any trace.
ResourceResult FindOwnResource(const wchar_t* type, const ResourceName& name, std::string_view* bytes);

enum class ResourceWrite { Ok, NotFound, NotCreated, NotWritten };

// Writes the resource to `destination` (created or truncated, its folder
// must exist); a resource of kArchiveResourceType is written with its first
// two bytes exchanged back. The resource itself is never changed.
ResourceWrite WriteResourceToFile(const wchar_t* type, const ResourceName& name, const std::wstring& destination);

}  // namespace vek
