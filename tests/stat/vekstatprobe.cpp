// Drives the installer's statistics module the way the installer does, from
// a folder of the test's choice (the module loads qorstat.dll beside the
// running program):
//   vekstatprobe <app id> <dispatch host> <cache file name | -> [action id...] [--now | --exit-in-call]
// Reports its results as debug output: "probe init=<0|1>", "probe
// shutdown_ms=<n>". Without --now it lets the queued reports run before the
// shutdown. With --exit-in-call it waits until the recording stand-in
// library signals a report call under way, then ends without Shutdown: the
// module goes with the process's static objects.
#include <windows.h>

#include <future>
#include <string>

#include "stat/ruvostatmodule.h"
#include "utility/base/handles.h"

namespace {

void Say(const std::wstring& text) { ::OutputDebugStringW(text.c_str()); }

// Set by vekstatrecorder.dll when a slow report call has begun.
std::wstring InCallEventName() { return L"Local\\VekStatRecorderInCall-" + std::to_wstring(::GetCurrentProcessId()); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    std::shared_ptr<RuvoStatModule> stat = RuvoStatModule::GetInstance();
    const std::wstring cache = std::wstring(argv[3]) == L"-" ? L"" : argv[3];
    const bool ok = stat->Init(static_cast<int32_t>(_wtoi(argv[1])), L"SOFTWARE\\TovikClean", argv[2], cache);
    Say(L"probe init=" + std::to_wstring(ok ? 1 : 0));

    bool now = false;
    vek::UniqueHandle inCall;
    for (int i = 4; i < argc; ++i) {
        if (std::wstring(argv[i]) == L"--now") {
            now = true;
        } else if (std::wstring(argv[i]) == L"--exit-in-call") {
            inCall.reset(::CreateEventW(nullptr, TRUE, FALSE, InCallEventName().c_str()));
        } else {
            stat->ReportAction(static_cast<int32_t>(_wtoi(argv[i])), 0);
        }
    }
    if (inCall) return ::WaitForSingleObject(inCall.get(), 10000) == WAIT_OBJECT_0 ? 0 : 3;
    if (!now) {
        std::promise<void> drained;
        stat->AddTask([&drained] { drained.set_value(); });
        drained.get_future().wait_for(std::chrono::seconds(10));
    }
    const ULONGLONG begin = ::GetTickCount64();
    stat->Shutdown();
    Say(L"probe shutdown_ms=" + std::to_wstring(::GetTickCount64() - begin));
    return 0;
}
