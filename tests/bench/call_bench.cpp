// Benchmark, not a test: the time of one bound native call from a script,
// median over ten batches of 100,000 calls (1,000,000 in all) of a trivial
// export of the test library, inside a real installer under Wine.
//   vek_call_bench
#include <windows.h>

#include <cstdio>

#include "tests/support/probe.h"

using namespace vektest;

int wmain() {
    Probe probe;
    probe.Script("local f = assert(GLibTab[" + LuaQuote(BuildPath(L"vektestlib.dll")) +
                 "]):Get('CallCount', 'int')\n"
                 "local per = {}\n"
                 "for batch = 1, 10 do\n"
                 "  local t0 = os.clock()\n"
                 "  for i = 1, 100000 do f() end\n"
                 "  per[batch] = (os.clock() - t0) / 100000\n"
                 "end\n"
                 "table.sort(per)\n"
                 "probe_record(string.format('%.1f', (per[5] + per[6]) / 2 * 1e9))\n")
        .Timeout(300000);
    probe.Run();
    const auto records = probe.Records();
    if (records.empty()) {
        fputs("the benchmark script did not run\n", stderr);
        return 1;
    }
    printf("bound native call, median of 10 x 100000: %s ns\n", records[0].c_str());
    return 0;
}
