// vektrace <program> [<arguments>]
// Runs <program> as a debuggee with this environment and prints its debug
// trace (UTF-8, one OutputDebugString per line) for tests on the Linux side.
// Exit code: the program's, or 3 when it had to be killed after 60 s.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/support/process.h"
#include "tests/support/testenv.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: vektrace <program> [<arguments>]\n", stderr);
        return 2;
    }
    vektest::RunOptions options;
    options.exe = argv[1];
    options.timeoutMs = 60000;
    for (int i = 2; i < argc; ++i) options.args += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
    const vektest::RunResult run = vektest::RunTraced(options);
    for (const std::wstring& trace : run.traces) {
        std::wstring line = trace;
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
        printf("%s\n", vektest::Utf8(line).c_str());
    }
    fflush(stdout);
    return run.timedOut ? 3 : static_cast<int>(run.exitCode);
}
