// Where the window framework takes its resources from: the module whose
// resources it loads, and the skin archive held in memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace vekui {

void SetResourceInstance(HINSTANCE instance);
HINSTANCE GetResourceInstance();

// The bytes stay owned by the caller and must outlive the window.
void SetResourceZip(const void* bytes, size_t size, const std::wstring& password);
const void* GetResourceZip(size_t* size);

}  // namespace vekui
