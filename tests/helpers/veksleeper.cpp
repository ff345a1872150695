// Helper process for the tests: veksleeper [<ms> [<record file>]]
// Writes its command line to the record file (UTF-16) when one is named,
// idles for the given milliseconds (default 60 s), then ends with code 0.
// Copied under other names to act as the product's tools.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const DWORD ms = argv && argc > 1 ? wcstoul(argv[1], nullptr, 10) : 60000;
    if (argv && argc > 2) {
        HANDLE file = ::CreateFileW(argv[2], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            const std::wstring line = ::GetCommandLineW();
            DWORD written = 0;
            ::WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
            ::CloseHandle(file);
        }
    }
    if (argv) ::LocalFree(argv);
    ::Sleep(ms);
    return 0;
}
