// Benchmark, not a test: Lua_GetProcessId with 200 running processes of the
// name asked for (median of 21 calls), and a full Lua_SCM start + stop cycle
// of the product's service program (median of 5).
//   vek_process_bench
#include <windows.h>

#include <cstdio>
#include <vector>

#include "tests/support/probe.h"

using namespace vektest;

namespace {

std::string RunScript(const std::string& script) {
    Probe probe;
    probe.Script(script).Timeout(300000).Run();
    const auto records = probe.Records();
    return records.empty() ? "(no result)" : records.front();
}

}  // namespace

int wmain() {
    TempDir dir;
    const std::wstring image = dir / L"vekbench.exe";
    ::CopyFileW(BuildPath(L"veksleeper.exe").c_str(), image.c_str(), FALSE);
    std::vector<Started> processes;
    for (int i = 0; i < 200; ++i) processes.push_back(StartProcess(image, L"120000"));
    const std::string lookup = RunScript(
        "local t = {}\n"
        "for i = 1, 21 do local t0 = os.clock() local n = select('#', Lua_GetProcessId('vekbench.exe'))\n"
        "  t[i] = os.clock() - t0 assert(n == 200, n) end\n"
        "table.sort(t) probe_record(string.format('%.2f', t[11] * 1000))\n");
    for (Started& p : processes) ::TerminateProcess(p.process.get(), 0);
    printf("Lua_GetProcessId with 200 matching processes, median of 21: %s ms\n", lookup.c_str());

    const std::wstring program = TestBinDir().substr(0, TestBinDir().find_last_of(L'\\')) + L"\\payload\\divaruzov.exe";
    Started install = StartProcess(program, L"--install VekBenchSvc");
    WaitExit(install.process.get(), 20000);
    const std::string cycle = RunScript(
        "local t = {}\n"
        "for i = 1, 5 do local t0 = os.clock()\n"
        "  assert(Lua_SCM('VekBenchSvc', 'start')) assert(Lua_SCM('VekBenchSvc', 'stop'))\n"
        "  t[i] = os.clock() - t0 end\n"
        "table.sort(t) probe_record(string.format('%.0f', t[3] * 1000))\n");
    Started remove = StartProcess(program, L"--uninstall VekBenchSvc");
    WaitExit(remove.process.get(), 20000);
    printf("Lua_SCM start + stop of the test service, median of 5: %s ms\n", cycle.c_str());
    return 0;
}
