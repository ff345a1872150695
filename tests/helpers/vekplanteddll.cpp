// A library planted beside an installer under a system library's name
// (version.dll, gdiplus.dll, ...): when it is loaded it leaves
// "<its own path>.loaded". The tests check that it never is.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(instance, self, MAX_PATH);
    const std::wstring marker = std::wstring(self) + L".loaded";
    HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    return TRUE;
}
