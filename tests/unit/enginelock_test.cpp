// The script state is entered by one thread at a time: an event on a worker
// keeps every other thread out until it returns, and TryLock lets a window
// thread see that without waiting.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "utility/base/handles.h"
#include "utility/vekscriptengine/vekscriptengine.h"

TEST(EngineLock, AnEventOnAWorkerKeepsOtherThreadsOut) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    vek::UniqueHandle inside(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vek::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // The event says it is inside, then waits for the test to let it go.
    const std::string script =
        "local k = GLibTab.kernel32\n"
        "local set, wait = k:Get('SetEvent', 'bool'), k:Get('WaitForSingleObject', 'uint')\n"
        "function VekTest_Busy()\n"
        "  set(" + std::to_string(reinterpret_cast<uintptr_t>(inside.get())) + ")\n"
        "  wait(" + std::to_string(reinterpret_cast<uintptr_t>(release.get())) + ", 30000)\n"
        "  vek_busy_done = true\n"
        "end\n";
    ASSERT_TRUE(engine.DoBuffer(script.data(), script.size(), "enginelock"));

    std::thread worker([&] { engine.CallEvent("VekTest_Busy"); });
    ASSERT_EQ(::WaitForSingleObject(inside.get(), 30000), WAIT_OBJECT_0);
    EXPECT_FALSE(engine.TryLock().owns_lock()) << "entered the state while the event ran";
    ::SetEvent(release.get());
    worker.join();
    const auto lock = engine.TryLock();
    EXPECT_TRUE(lock.owns_lock());
    EXPECT_TRUE(engine.Get(BoolGlobal{"vek_busy_done"}));
}
