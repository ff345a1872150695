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

namespace {

// A host function as an event would call it: it reads and writes a global
// through the engine, on the event's own thread.
int NestedHostUse(lua_State*) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    engine.Set(IntegerGlobal{"vek_nested"}, engine.Get(IntegerGlobal{"vek_nested"}) + 1);
    return 0;
}

bool WaitForCount(const VekScriptEngine& engine, unsigned count, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (engine.CrossThreadEntries() < count) {
        if (::GetTickCount64() > deadline) return false;
        ::SwitchToThread();
    }
    return true;
}

}  // namespace

// A Get from a second thread while an event runs is recorded before it waits
// for the lock, and then waits as before; the event thread's own use of the
// state from inside the event is not.
TEST(EngineLock, ASecondThreadAskingDuringAnEventIsRecorded) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    vek::UniqueHandle inside(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    vek::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    {
        const auto lock = engine.Lock();
        lua_register(engine.GetState(), "vektest_nested", NestedHostUse);
    }
    const std::string script =
        "local k = GLibTab.kernel32\n"
        "local set, wait = k:Get('SetEvent', 'bool'), k:Get('WaitForSingleObject', 'uint')\n"
        "vek_nested = 0\n"
        "function VekTest_Hold()\n"
        "  vektest_nested()\n"
        "  set(" + std::to_string(reinterpret_cast<uintptr_t>(inside.get())) + ")\n"
        "  wait(" + std::to_string(reinterpret_cast<uintptr_t>(release.get())) + ", 30000)\n"
        "  vektest_nested()\n"
        "end\n";
    ASSERT_TRUE(engine.DoBuffer(script.data(), script.size(), "enginecross"));
    const unsigned before = engine.CrossThreadEntries();

    std::thread worker([&] { engine.CallEvent("VekTest_Hold"); });
    ASSERT_EQ(::WaitForSingleObject(inside.get(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(engine.CrossThreadEntries(), before) << "the event's own use was counted";
    EXPECT_FALSE(engine.TryLock().owns_lock());
    EXPECT_EQ(engine.CrossThreadEntries(), before) << "a TryLock that stays out was counted";

    lua_Integer seen = -1;
    std::thread reader([&] { seen = engine.Get(IntegerGlobal{"vek_nested"}); });
    const bool recorded = WaitForCount(engine, before + 1, 30000);
    ::SetEvent(release.get());
    worker.join();
    reader.join();
    EXPECT_TRUE(recorded);
    EXPECT_EQ(engine.CrossThreadEntries(), before + 1);
    EXPECT_EQ(seen, 2) << "the reader did not wait for the event";
    EXPECT_EQ(engine.Get(IntegerGlobal{"vek_nested"}), 2);
    EXPECT_EQ(engine.CrossThreadEntries(), before + 1) << "use after the event was counted";
}
