// vekdlg <pid> [<button> [<timeout-ms>]]
// Waits for a dialog of process <pid>, prints its caption and text (UTF-8,
// one per line) and presses <button> (OK, Cancel, Abort, Retry, Ignore, Yes,
// No). Exit code 1 when no dialog appeared, 2 when the button is missing.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/support/dialogs.h"
#include "tests/support/testenv.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fputs("usage: vekdlg <pid> [<button> [<timeout-ms>]]\n", stderr);
        return 3;
    }
    const DWORD pid = wcstoul(argv[1], nullptr, 10);
    const DWORD timeout = argc > 3 ? wcstoul(argv[3], nullptr, 10) : 20000;
    const auto dialog = vektest::WaitForDialog(pid, timeout);
    if (!dialog) return 1;
    printf("%s\n%s\n", vektest::Utf8(dialog->caption).c_str(), vektest::Utf8(dialog->text).c_str());
    fflush(stdout);
    if (argc > 2 && !vektest::PressButton(*dialog, argv[2])) return 2;
    return 0;
}
