// Benchmark, not a test: time from process creation to VekSE_BeforeInit of a
// packed installer, and to its end, under Wine. Prints the median of N runs.
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
    std::vector<double> toEvent, toEnd;
    for (int i = 0; i < runs; ++i) {
        ::DeleteFileW(records.c_str());
        const double start = Now();
        Started p = StartProcess(argv[1], L"/InstallSlience true",
                                 {{L"VEK_PROBE_OUT", records}, {L"VEK_PROBE_SCRIPT", script}});
        if (!p.process) return 1;
        while (!Exists(records) && ::WaitForSingleObject(p.process.get(), 0) == WAIT_TIMEOUT) ::Sleep(0);
        toEvent.push_back(Now() - start);
        WaitExit(p.process.get(), 30000);
        toEnd.push_back(Now() - start);
    }
    std::vector<double> trivial, traced;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        Started p = StartProcess(TestBinDir() + L"\\veksleeper.exe", L"0");
        WaitExit(p.process.get(), 30000);
        trivial.push_back(Now() - start);
        start = Now();
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
