// Benchmark, not a test: time from process creation to VekSE_BeforeInit of a
// packed installer, and to its end, under Wine, beside an empty program
// (vek_empty, linked as the installer is) started the same way, runs
// interleaved. Prints the medians of N runs.
//   vek_startup_bench <installer.exe> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/testenv.h"

using namespace vektest;

namespace {

double Now() {
    LARGE_INTEGER counter, frequency;
    ::QueryPerformanceCounter(&counter);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Waits for `file` to appear in `folder` (a change of names there); false
// when the process ends first. Busy polling would take a core from the
// program measured.
bool WaitForFile(const std::wstring& folder, const std::wstring& file, HANDLE process) {
    vek::UniqueChangeNotification change(
        ::FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
    if (!change) return false;
    const HANDLE handles[] = {change.get(), process};
    while (!Exists(file)) {
        if (::WaitForMultipleObjects(2, handles, FALSE, 30000) != WAIT_OBJECT_0) return Exists(file);
        ::FindNextChangeNotification(change.get());
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: vek_startup_bench <installer.exe> [runs]\n", stderr);
        return 2;
    }
    const int runs = argc > 2 ? _wtoi(argv[2]) : 11;
    TempDir dir;
    const std::wstring records = dir / L"records.txt";
    const std::wstring script = dir / L"bench.lua";
    // VekSE_BeforeInit leaves a file behind; the clock stops when it appears.
    WriteBytes(script, "function VekSE_BeforeInit() probe_record('VekSE_BeforeInit') end\n");
    const std::vector<std::pair<std::wstring, std::wstring>> env = {{L"VEK_PROBE_OUT", records},
                                                                      {L"VEK_PROBE_SCRIPT", script}};
    const std::wstring empty = TestBinDir() + L"\\vek_empty.exe";
    std::vector<double> toEvent, toEnd, trivial;
    for (int i = 0; i < runs; ++i) {
        ::DeleteFileW(records.c_str());
        double start = Now();
        Started p = StartProcess(argv[1], L"/InstallSlience true", env);
        if (!p.process) return 1;
        if (!WaitForFile(dir.path(), records, p.process.get())) {
            fputs("the installer did not reach VekSE_BeforeInit\n", stderr);
            return 1;
        }
        toEvent.push_back(Now() - start);
        WaitExit(p.process.get(), 30000);
        toEnd.push_back(Now() - start);

        start = Now();
        Started e = StartProcess(empty, L"/InstallSlience true", env);
        if (!e.process) return 1;
        WaitExit(e.process.get(), 30000);
        trivial.push_back(Now() - start);
    }
    std::vector<double> traced;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        RunOptions options;
        options.exe = argv[1];
        options.args = L"/InstallSlience true";
        RunTraced(options);
        traced.push_back(Now() - start);
    }
    printf("runs: %d\nstart to VekSE_BeforeInit, median: %.1f ms\nstart to exit, median: %.1f ms\n", runs,
           Median(toEvent), Median(toEnd));
    printf("empty program start to exit, median: %.1f ms\n", Median(trivial));
    printf("installer under the test debugger, median: %.1f ms\n", Median(traced));
    return 0;
}
