#include "resources.h"

#include "utility/base/handles.h"
#include "utility/base/trace.h"

namespace vek {

ResourceResult FindResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                                 std::string_view* bytes) {
    HRSRC info = ::FindResourceW(module, name, type);
    UniqueResourceData data(info ? ::LoadResource(module, info) : nullptr);
    if (!data) return ResourceResult::NotFound;
    const void* locked = ::LockResource(data.get());
    if (!locked) return ResourceResult::NotLocked;
    const DWORD size = ::SizeofResource(module, info);
    *bytes = std::string_view(static_cast<const char*>(locked), size);
    return size == 0 ? ResourceResult::Empty : ResourceResult::Ok;
}

ResourceResult LoadResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                                 std::string_view* bytes) {
    const ResourceResult result = FindResourceBytes(module, name, type, bytes);
    if (result == ResourceResult::NotLocked) TraceError(L"LockResource failed.");
    if (result == ResourceResult::Empty) Trace(L"ResSize == 0\r\n");
    return result;
}

}  // namespace vek
