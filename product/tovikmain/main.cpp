// Stand-in for the product's main program: one top-level window of the
// product's class that closes on request, and a log of its starts.
//
// Each start appends one line to %LOCALAPPDATA%\TovikClean\TovikCCleanerMain.log
// (UTF-8, the folder made when missing), written before the window exists:
//   "start:" alone when the program got no arguments, otherwise "start: "
//   followed by the arguments exactly as the command line carries them
//   after the program's name (quotes kept, surrounding blanks dropped);
//   every line ends in CR LF.
// e.g. "start: /menu", "start: /auto", "start:".
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "utility/base/handles.h"
#include "utility/base/textconv.h"

namespace {

constexpr wchar_t kLogFolder[] = L"TovikClean";
constexpr wchar_t kLogName[] = L"TovikCCleanerMain.log";

// %LOCALAPPDATA% as the environment gives it (tests point it elsewhere),
// else the known folder.
std::wstring LocalAppData() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", path.data(), static_cast<DWORD>(path.size()));
    if (length >= path.size()) {
        path.resize(length);
        length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", path.data(), static_cast<DWORD>(path.size()));
    }
    if (length > 0 && length < path.size()) return path.substr(0, length);
    PWSTR known = nullptr;
    path.clear();
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) path = known;
    ::CoTaskMemFree(known);
    return path;
}

std::wstring Trimmed(const wchar_t* text) {
    std::wstring value = text ? text : L"";
    const size_t first = value.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return value.substr(first, value.find_last_not_of(L" \t") - first + 1);
}

// A log that cannot be written does not keep the program from running.
void LogStart(const wchar_t* arguments) {
    const std::wstring base = LocalAppData();
    if (base.empty()) return;
    const std::wstring folder = base + L"\\" + kLogFolder;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    vek::UniqueFile log(::CreateFileW((folder + L"\\" + kLogName).c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log) return;
    const std::wstring given = Trimmed(arguments);
    const std::string line = "start:" + (given.empty() ? std::string() : " " + vek::WideToUtf8(given)) + "\r\n";
    DWORD written = 0;
    ::WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int show) {
    LogStart(arguments);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TovikCleanWnd";
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    if (!::RegisterClassW(&windowClass)) return 1;
    HWND window = ::CreateWindowExW(0, L"TovikCleanWnd", L"Tovik", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ::ShowWindow(window, show);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
