#include "skinresources.h"

namespace vekui {
namespace {
HINSTANCE g_instance = nullptr;
const void* g_zip = nullptr;
size_t g_zipSize = 0;
std::wstring g_password;
}  // namespace

void SetResourceInstance(HINSTANCE instance) { g_instance = instance; }
HINSTANCE GetResourceInstance() { return g_instance; }

void SetResourceZip(const void* bytes, size_t size, const std::wstring& password) {
    g_zip = bytes;
    g_zipSize = size;
    g_password = password;
}

const void* GetResourceZip(size_t* size) {
    if (size) *size = g_zipSize;
    return g_zip;
}

}  // namespace vekui
