// vektrace [--answer <button>]... [--live] [--keep-window] [--timeout <s>]
//          <program> [<arguments>]
// Runs <program> as a debuggee with this environment and prints its debug
// trace (UTF-8, one OutputDebugString per line) for tests on the Linux side:
// at the end, or with --live each line as it arrives, flushed.
// Every dialog the program shows is printed at once as
//   @dialog<TAB><caption><TAB><text><TAB><button>,<button>...
// (CR, LF and TAB written as \r, \n and \t) and pressed with the next
// answer (OK, Cancel, Yes, No, Abort, Retry, Ignore); past the last answer
// with the last one again, and with none given it is left open.
// An installer window is closed as soon as it exists, unless --keep-window
// leaves it to the caller (who drives it through the display).
// Exit code: the program's, 3 when it had to be killed after the time-out
// (60 s, or --timeout seconds; 0: none), 2 for a bad command line.
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
    fputs("usage: vektrace [--answer OK|Cancel|Yes|No|Abort|Retry|Ignore]... [--live] [--keep-window]\n"
          "                [--timeout <seconds>] <program> [<arguments>]\n",
          stderr);
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

void PrintTrace(std::wstring line) {
    while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r')) line.pop_back();
    printf("%s\n", vektest::Utf8(line).c_str());
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

struct Options {
    std::vector<std::wstring> answers;
    bool live = false;
    vektest::RunOptions run;
};

// The options before the program; the index of the program, or 0 when the
// command line is bad.
int ParseOptions(int argc, wchar_t** argv, Options& options) {
    options.run.timeoutMs = 60000;
    int i = 1;
    for (; i < argc && wcsncmp(argv[i], L"--", 2) == 0; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--live") {
            options.live = true;
        } else if (option == L"--keep-window") {
            options.run.closeInstallerWindow = false;
        } else if (option == L"--answer" && i + 1 < argc && vektest::IsButtonCommand(argv[i + 1])) {
            options.answers.push_back(argv[++i]);
        } else if (option == L"--timeout" && i + 1 < argc) {
            wchar_t* end = nullptr;
            const unsigned long seconds = wcstoul(argv[++i], &end, 10);
            if (*end || end == argv[i] || seconds > 86400) return 0;
            options.run.timeoutMs = seconds ? static_cast<DWORD>(seconds * 1000) : INFINITE;
        } else {
            return 0;
        }
    }
    return i < argc ? i : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    const int first = ParseOptions(argc, argv, options);
    if (!first) return Usage();
    vektest::RunOptions& run = options.run;
    run.exe = argv[first];
    // Each argument reaches the program as it reached us, blanks and all.
    run.args = vek::JoinArguments(std::vector<std::wstring>(argv + first + 1, argv + argc));
    const std::vector<std::wstring>& answers = options.answers;
    run.whileRunning = [&answers](DWORD pid) { AnswerDialogs(pid, answers); };
    if (options.live) {
        run.onTrace = [](const std::wstring& trace) {
            PrintTrace(trace);
            fflush(stdout);
        };
    }
    const vektest::RunResult result = vektest::RunTraced(run);
    if (!options.live) {
        for (const std::wstring& trace : result.traces) PrintTrace(trace);
    }
    fflush(stdout);
    return result.timedOut ? 3 : static_cast<int>(result.exitCode);
}
