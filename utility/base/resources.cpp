#include "resources.h"

#include "utility/base/handles.h"
#include "utility/base/trace.h"

namespace vek {

ResourceResult LoadResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type,
                                 std::string_view* bytes) {
    HRSRC info = ::FindResourceW(module, name, type);
    UniqueResourceData data(info ? ::LoadResource(module, info) : nullptr);
    if (!data) return ResourceResult::NotFound;
    const void* locked = ::LockResource(data.get());
    if (!locked) {
        TraceError(L"LockResource failed.");
        return ResourceResult::NotLocked;
    }
    const DWORD size = ::SizeofResource(module, info);
    if (size == 0) {
        Trace(L"ResSize == 0\r\n");
        return ResourceResult::Empty;
    }
    *bytes = std::string_view(static_cast<const char*>(locked), size);
    return ResourceResult::Ok;
}

}  // namespace vek
