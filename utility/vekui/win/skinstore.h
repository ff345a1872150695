// Where the window framework takes its resources from: the module whose
// resources it loads (icons), and the skin archive held in memory.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <cstddef>
#include <string>

#include "utility/vekui/core/skinarchive.h"

namespace vekui {

void SetResourceInstance(HINSTANCE instance);
HINSTANCE GetResourceInstance();

// Opens the skin over the bytes, which stay owned by the caller and must
// outlive every window. Only an empty password is supported. False (and no
// skin) when the bytes are not a readable archive.
bool SetResourceZip(const void* bytes, size_t size, const std::wstring& password);
const void* GetResourceZip(size_t* size);
// The archive opened by SetResourceZip, or nullptr.
const ISkinFiles* GetResourceSkin();

}  // namespace vekui
