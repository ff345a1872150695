// Redirects one imported function of a loaded module (its import address
// table slot) to a replacement, for the life of the object: lets a test hold
// a library's thread at a system call, or see what it would send.
#pragma once

#include <windows.h>

#include "utility/base/handles.h"

namespace vektest {

class ImportHook {
public:
    // `module` is pinned while the hook lives, so that its restoration
    // never writes into an unloaded image.
    ImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool ok() const { return slot_ != nullptr; }
    // What the slot held before: the real function.
    template <typename F>
    F* original() const {
        return reinterpret_cast<F*>(original_);
    }

private:
    vek::UniqueModule pin_;
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

}  // namespace vektest
