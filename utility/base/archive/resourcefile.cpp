#include "resourcefile.h"

#include <cwchar>
#include <utility>

#include "utility/base/handles.h"

namespace vek {

namespace {

bool WriteAll(HANDLE file, const char* data, size_t size) {
    DWORD written = 0;
    return ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

// Written as it is stored but for the archive type's first two bytes, which
// are written exchanged, so no copy of a large payload is made.
bool WriteStored(HANDLE file, const wchar_t* type, std::string_view bytes) {
    if (std::wcscmp(type, kArchiveResourceType) != 0 || bytes.size() < 2) {
        return WriteAll(file, bytes.data(), bytes.size());
    }
    const char head[2] = {bytes[1], bytes[0]};
    return WriteAll(file, head, 2) && WriteAll(file, bytes.data() + 2, bytes.size() - 2);
}

}  // namespace

ResourceResult FindOwnResource(const wchar_t* type, const ResourceName& name, std::string_view* bytes) {
    return FindResourceBytes(::GetModuleHandleW(nullptr), name.get(), type, bytes);
}

ResourceWrite WriteResourceToFile(const wchar_t* type, const ResourceName& name, const std::wstring& destination) {
    std::string_view bytes;
    const ResourceResult found = FindOwnResource(type, name, &bytes);
    if (found == ResourceResult::NotFound) return ResourceWrite::NotFound;
    UniqueFile file(
        ::CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return ResourceWrite::NotCreated;
    if (found == ResourceResult::NotLocked || !WriteStored(file.get(), type, bytes)) return ResourceWrite::NotWritten;
    return ResourceWrite::Ok;
}

}  // namespace vek
