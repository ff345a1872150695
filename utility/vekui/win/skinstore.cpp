#include "utility/vekui/win/skinstore.h"

#include <memory>

#include "utility/base/textconv.h"
#include "utility/base/trace.h"

namespace vekui {
namespace {

struct SkinStore {
    HINSTANCE instance = nullptr;
    const void* zip = nullptr;
    size_t zipSize = 0;
    std::unique_ptr<CSkinArchive> archive;
};

SkinStore& Store() {
    static SkinStore store;
    return store;
}

}  // namespace

void SetResourceInstance(HINSTANCE instance) { Store().instance = instance; }
HINSTANCE GetResourceInstance() { return Store().instance; }

bool SetResourceZip(const void* bytes, size_t size, const std::wstring& password) {
    SkinStore& store = Store();
    store.archive.reset();
    store.zip = nullptr;
    store.zipSize = 0;
    if (!password.empty()) {
        vek::Trace(L"skin: encrypted archives are not supported");
        return false;
    }
    auto archive = std::make_unique<CSkinArchive>();
    std::string error;
    if (!archive->Open(bytes, size, &error)) {
        vek::Trace(L"skin: %s", vek::Utf8ToWide(error).c_str());
        return false;
    }
    store.zip = bytes;
    store.zipSize = size;
    store.archive = std::move(archive);
    return true;
}

const void* GetResourceZip(size_t* size) {
    if (size) *size = Store().zipSize;
    return Store().zip;
}

const ISkinFiles* GetResourceSkin() { return Store().archive.get(); }

}  // namespace vekui
