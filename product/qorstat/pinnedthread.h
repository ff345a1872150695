// Threads of the statistics libraries. Each holds its own reference to the
// library that started it and ends with FreeLibraryAndExitThread, so a
// caller may unload the library while such a thread still waits on the
// network: the code stays mapped until the thread is gone.
#pragma once

#include <functional>
#include <memory>

#include "product/qorstat/socket.h"

namespace qor {

namespace detail {
struct PinnedStart {
    std::function<void()> work;
    HMODULE self;
};

inline DWORD WINAPI PinnedThread(void* parameter) {
    std::unique_ptr<PinnedStart> start(static_cast<PinnedStart*>(parameter));
    const HMODULE self = start->self;
    {
        WinsockScope winsock;
        if (winsock.ok()) start->work();
        start.reset();  // the work's captures go while the code is still here
    }
    ::FreeLibraryAndExitThread(self, 0);
    return 0;
}
}  // namespace detail

// Runs `work` with Winsock started on a new thread pinned to the library
// that contains `anchor`; a null handle when the thread cannot start.
inline vek::UniqueHandle StartPinnedThread(const void* anchor, std::function<void()> work) {
    auto start = std::make_unique<detail::PinnedStart>(detail::PinnedStart{std::move(work), PinModuleOf(anchor)});
    if (!start->self) return {};
    const HMODULE self = start->self;
    vek::UniqueHandle thread(::CreateThread(nullptr, 0, detail::PinnedThread, start.get(), 0, nullptr));
    if (!thread) {
        ::FreeLibrary(self);
        return {};
    }
    start.release();  // the thread owns it now
    return thread;
}

}  // namespace qor
