// One uninstaller at a time: a second one waits for the guard the first
// holds, and gives up with a failure code when the wait runs out.
#include <gtest/gtest.h>

#include <thread>

#include "product/uninstall/exitcodes.h"
#include "tests/support/dialogs.h"
#include "tests/uninstall/uninstallbench.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

const wchar_t kGuard[] = L"Global\\TovikCleanUninstall";

// Holds the uninstallers' guard on a thread of its own (a mutex belongs to
// the thread that owns it) until released.
class GuardHolder {
public:
    GuardHolder() : ready_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
                    release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this] { Hold(); });
        ::WaitForSingleObject(ready_.get(), 10000);
    }
    ~GuardHolder() {
        Release();
        thread_.join();
    }
    bool owned() const { return owned_; }
    void Release() { ::SetEvent(release_.get()); }

private:
    void Hold() {
        vek::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, kGuard));
        owned_ = mutex && ::WaitForSingleObject(mutex.get(), 0) == WAIT_OBJECT_0;
        ::SetEvent(ready_.get());
        ::WaitForSingleObject(release_.get(), 120000);
        if (owned_) ::ReleaseMutex(mutex.get());
    }

    vek::UniqueHandle ready_;
    vek::UniqueHandle release_;
    bool owned_ = false;
    std::thread thread_;
};

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

TEST(UninstallGuard, ASecondUninstallerWaitsForTheFirstToFinish) {
    UninstallBench bench;
    GuardHolder holder;
    ASSERT_TRUE(holder.owned());
    bool waiting = false;
    std::vector<std::string> eventsWhileHeld = {"not read"};
    const RunResult run = bench.Run(L"/S", [&](DWORD copy) {
        waiting = Eventually([&] { return Contains(bench.Log(), L"another uninstaller is running; waiting for it"); });
        eventsWhileHeld = bench.Events();
        holder.Release();
    });
    EXPECT_TRUE(waiting) << Utf8(bench.Log());
    EXPECT_TRUE(eventsWhileHeld.empty());
    EXPECT_EQ(run.exitCode, uninstall::kDone);
    EXPECT_EQ(bench.Events(), (std::vector<std::string>{"VekSE_BeforeInit", "VekSE_OnUninstall", "VekSE_AfterUnintall"}));
}

TEST(UninstallGuard, GivesUpWhenTheOtherStillRunsAfterTheWait) {
    // Both modes at once: the wait is some thirty seconds.
    GuardHolder holder;
    ASSERT_TRUE(holder.owned());
    UninstallBench silent, interactive;
    RunResult silentRun;
    std::thread side([&] { silentRun = silent.Run(L"/S", {}, 90000); });
    std::optional<DialogInfo> box;
    const RunResult interactiveRun =
        interactive.Run(L"", [&](DWORD copy) { box = AnswerDialog(copy, L"OK", 60000); }, 90000);
    side.join();

    EXPECT_EQ(silentRun.exitCode, uninstall::kAnotherRunning);
    EXPECT_TRUE(Contains(silent.Log(), L"another uninstaller is still running; giving up")) << Utf8(silent.Log());
    EXPECT_TRUE(silent.Events().empty());
    EXPECT_EQ(interactiveRun.exitCode, uninstall::kAnotherRunning);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, L"另一个卸载程序正在运行，请稍后再试。");
    EXPECT_TRUE(interactive.Events().empty());
}
