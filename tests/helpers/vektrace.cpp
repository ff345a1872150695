// vektrace [--answer <button>]... <program> [<arguments>]
// Runs <program> as a debuggee with this environment and prints its debug
// trace (UTF-8, one OutputDebugString per line) for tests on the Linux side.
// Every dialog the program shows is printed at once as
//   @dialog<TAB><caption><TAB><text><TAB><button>,<button>...
// (CR, LF and TAB written as \r, \n and \t) and pressed with the next
// answer (OK, Cancel, Yes, No, Abort, Retry, Ignore); past the last answer
// with the last one again, and with none given it is left open.
// Exit code: the program's, 3 when it had to be killed after 60 s, 2 for a
// bad command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "tests/support/dialogs.h"
#include "tests/support/process.h"
#include "tests/support/testenv.h"
#include "utility/base/childprocess.h"

namespace {

int Usage() {
    fputs("usage: vektrace [--answer OK|Cancel|Yes|No|Abort|Retry|Ignore]... <program> [<arguments>]\n", stderr);
    return 2;
}

// One field of a dialog line: the line's own separators written out.
std::wstring Field(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t c : text) {
        if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else if (c == L'\t') out += L"\\t";
        else out += c;
    }
    return out;
}

void PrintDialog(const vektest::DialogInfo& dialog) {
    std::wstring buttons;
    for (const std::wstring& button : dialog.buttons) buttons += (buttons.empty() ? L"" : L",") + Field(button);
    const std::wstring line =
        L"@dialog\t" + Field(dialog.caption) + L"\t" + Field(dialog.text) + L"\t" + buttons;
    printf("%s\n", vektest::Utf8(line).c_str());
    fflush(stdout);
}

void AnswerDialogs(DWORD pid, const std::vector<std::wstring>& answers) {
    size_t next = 0;
    vektest::WatchDialogs(pid, [&](const vektest::DialogInfo& dialog) {
        PrintDialog(dialog);
        if (answers.empty()) return;
        const std::wstring& answer = answers[std::min(next++, answers.size() - 1)];
        if (!vektest::PressButton(dialog, answer))
            fprintf(stderr, "vektrace: the dialog has no %s button\n", vektest::Utf8(answer).c_str());
    });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> answers;
    int first = 1;
    for (; first < argc && wcscmp(argv[first], L"--answer") == 0; first += 2) {
        if (first + 1 >= argc || !vektest::IsButtonCommand(argv[first + 1])) return Usage();
        answers.push_back(argv[first + 1]);
    }
    if (first >= argc) return Usage();
    vektest::RunOptions options;
    options.exe = argv[first];
    options.timeoutMs = 60000;
    // Each argument reaches the program as it reached us, blanks and all.
    options.args = vek::JoinArguments(std::vector<std::wstring>(argv + first + 1, argv + argc));
    options.whileRunning = [&answers](DWORD pid) { AnswerDialogs(pid, answers); };
    const vektest::RunResult run = vektest::RunTraced(options);
    for (const std::wstring& trace : run.traces) {
        std::wstring line = trace;
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
        printf("%s\n", vektest::Utf8(line).c_str());
    }
    fflush(stdout);
    return run.timedOut ? 3 : static_cast<int>(run.exitCode);
}
