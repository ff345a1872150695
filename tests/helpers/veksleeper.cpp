// Helper process for the tests: idles for the given milliseconds (default
// 60 s), then ends with code 0. Copied under other names to act as the
// product's tools.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    DWORD ms = 60000;
    if (args && *args) ms = wcstoul(args, nullptr, 10);
    ::Sleep(ms);
    return 0;
}
