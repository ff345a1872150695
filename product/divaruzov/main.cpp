// Stand-in for the product's service: registers and removes itself with the
// service control manager, and runs as a service that starts and stops on
// request. "--install" alone is the product's own registration, the one its
// installer makes: TovikCleanSvc, started with Windows, as LocalSystem.
// "--install <name>" registers a test service started on demand;
// --slow-start and --hang-on-stop make it a slow starter or a service that
// never stops, to exercise a caller's bounded waits.
#include <windows.h>
#include <winsvc.h>

#include <string>

#include "utility/base/handles.h"

namespace {

constexpr DWORD kUninstallStopWaitMs = 10000;
constexpr DWORD kPollMs = 100;
constexpr DWORD kStartHintMs = 200;
constexpr DWORD kStopHintMs = 500;
constexpr DWORD kHangHintMs = 1000;

constexpr wchar_t kProductService[] = L"TovikCleanSvc";

constexpr wchar_t kUsage[] =
    L"usage: divaruzov --install | --install <name> [--display <name>] [--hang-on-stop] [--slow-start <ms>]"
    L" | --uninstall <name> | --service [--hang-on-stop] [--slow-start <ms>]\r\n";

// No CRT stdio: the console gets UTF-16, a pipe or file gets UTF-8.
void WriteError(const std::wstring& text) {
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(err, &mode)) {
        ::WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    ::WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Prints "divaruzov: <what>: error <n>: <system text>" and hands back n.
DWORD Fail(const wchar_t* what, DWORD error) {
    std::wstring line = L"divaruzov: ";
    line += what;
    line += L": error ";
    line += std::to_wstring(error);
    wchar_t* message = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length && message) {
        std::wstring text(message, length);
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
        line += L": ";
        line += text;
    }
    if (message) ::LocalFree(message);
    line += L"\r\n";
    WriteError(line);
    return error;
}

int Usage() {
    WriteError(kUsage);
    return 2;
}

bool ParseMs(const wchar_t* text, DWORD& ms) {
    if (!*text) return false;
    unsigned long long value = 0;
    for (; *text; ++text) {
        if (*text < L'0' || *text > L'9') return false;
        value = value * 10 + static_cast<unsigned>(*text - L'0');
        if (value > 0xFFFFFFFEull) return false;  // INFINITE is not a delay
    }
    ms = static_cast<DWORD>(value);
    return true;
}

struct Options {
    const wchar_t* display = nullptr;
    bool hangOnStop = false;
    DWORD slowStartMs = 0;
    // Test services start on demand and keep the start type of an earlier
    // registration; the product's service starts with Windows, always.
    DWORD startType = SERVICE_DEMAND_START;
    bool forceStartType = false;
};

// Flags after the mode (and its name); --display only where allowed.
bool ParseOptions(int argc, wchar_t** argv, int first, bool allowDisplay, Options& options) {
    for (int i = first; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--hang-on-stop") {
            options.hangOnStop = true;
        } else if (arg == L"--slow-start" && i + 1 < argc) {
            if (!ParseMs(argv[++i], options.slowStartMs)) return false;
        } else if (arg == L"--display" && allowDisplay && i + 1 < argc) {
            options.display = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// ---- registration ----------------------------------------------------------

bool OwnPath(std::wstring& path) {
    path.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return false;
        if (length < path.size()) {
            path.resize(length);
            return true;
        }
        path.resize(path.size() * 2);  // truncated
    }
}

int Install(const wchar_t* name, const Options& options) {
    std::wstring command;
    if (!OwnPath(command)) return static_cast<int>(Fail(L"GetModuleFileNameW", ::GetLastError()));
    command = L"\"" + command + L"\" --service";
    if (options.hangOnStop) command += L" --hang-on-stop";
    if (options.slowStartMs) command += L" --slow-start " + std::to_wstring(options.slowStartMs);

    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) return static_cast<int>(Fail(L"OpenSCManagerW", ::GetLastError()));
    vek::UniqueService service(::CreateServiceW(manager.get(), name, options.display ? options.display : name,
                                                SERVICE_QUERY_STATUS, SERVICE_WIN32_OWN_PROCESS, options.startType,
                                                SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                                                nullptr, nullptr));
    if (service) return 0;
    const DWORD error = ::GetLastError();
    if (error != ERROR_SERVICE_EXISTS) return static_cast<int>(Fail(L"CreateServiceW", error));

    // Installed over an earlier copy: point it at this one.
    service.reset(::OpenServiceW(manager.get(), name, SERVICE_CHANGE_CONFIG));
    if (!service) return static_cast<int>(Fail(L"OpenServiceW", ::GetLastError()));
    const DWORD startType = options.forceStartType ? options.startType : SERVICE_NO_CHANGE;
    if (!::ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, command.c_str(),
                                nullptr, nullptr, nullptr, nullptr, nullptr, options.display)) {
        return static_cast<int>(Fail(L"ChangeServiceConfigW", ::GetLastError()));
    }
    return 0;
}

// Stops the service and waits for STOPPED. A service still starting cannot
// take the stop yet, so the request is repeated until it is accepted.
DWORD StopAndWait(SC_HANDLE service) {
    const ULONGLONG deadline = ::GetTickCount64() + kUninstallStopWaitMs;
    bool sent = false;
    for (;;) {
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(service, &status)) return Fail(L"QueryServiceStatus", ::GetLastError());
        if (status.dwCurrentState == SERVICE_STOPPED) return NO_ERROR;
        const DWORD state = status.dwCurrentState;
        if (!sent && state != SERVICE_STOP_PENDING) {
            if (::ControlService(service, SERVICE_CONTROL_STOP, &status)) {
                sent = true;
            } else {
                // Windows answers a starting service with CANNOT_ACCEPT_CTRL,
                // Wine with INVALID_SERVICE_CONTROL.
                const DWORD error = ::GetLastError();
                if (error == ERROR_SERVICE_NOT_ACTIVE) return NO_ERROR;
                const bool later = error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL ||
                                   (error == ERROR_INVALID_SERVICE_CONTROL && state == SERVICE_START_PENDING);
                if (!later) return Fail(L"ControlService", error);
            }
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return Fail(L"waiting for the service to stop", ERROR_SERVICE_REQUEST_TIMEOUT);
        ::Sleep(static_cast<DWORD>(deadline - now < kPollMs ? deadline - now : kPollMs));
    }
}

// Display name the same as the service's; no account named: LocalSystem.
int InstallProduct() {
    Options options;
    options.startType = SERVICE_AUTO_START;
    options.forceStartType = true;
    return Install(kProductService, options);
}

int Uninstall(const wchar_t* name) {
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return static_cast<int>(Fail(L"OpenSCManagerW", ::GetLastError()));
    vek::UniqueService service(
        ::OpenServiceW(manager.get(), name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) return static_cast<int>(Fail(L"OpenServiceW", ::GetLastError()));
    // Deleted even when it would not stop: the manager removes it once its
    // process is gone.
    const DWORD stopped = StopAndWait(service.get());
    if (!::DeleteService(service.get())) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_MARKED_FOR_DELETE) return static_cast<int>(Fail(L"DeleteService", error));
    }
    return static_cast<int>(stopped);
}

// ---- the service -----------------------------------------------------------

Options g_options;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {};
SRWLOCK g_statusLock = SRWLOCK_INIT;  // the handler runs on the dispatcher thread
HANDLE g_stopEvent = nullptr;

void Report(DWORD state, DWORD waitHint) {
    ::AcquireSRWLockExclusive(&g_statusLock);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    if (g_status.dwCurrentState != SERVICE_STOPPED) {
        g_status.dwCheckPoint = pending ? (g_status.dwCurrentState == state ? g_status.dwCheckPoint + 1 : 1) : 0;
        g_status.dwCurrentState = state;
        g_status.dwWaitHint = pending ? waitHint : 0;
        g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
        ::SetServiceStatus(g_statusHandle, &g_status);
    }
    ::ReleaseSRWLockExclusive(&g_statusLock);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Report(SERVICE_STOP_PENDING, g_options.hangOnStop ? kHangHintMs : kStopHintMs);
        ::SetEvent(g_stopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        ::AcquireSRWLockExclusive(&g_statusLock);
        if (g_status.dwCurrentState != SERVICE_STOPPED) ::SetServiceStatus(g_statusHandle, &g_status);
        ::ReleaseSRWLockExclusive(&g_statusLock);
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
    g_stopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(argc ? argv[0] : L"", Handler, nullptr);
    if (!g_statusHandle) return;
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    if (!g_stopEvent) {
        g_status.dwWin32ExitCode = ::GetLastError();
        Report(SERVICE_STOPPED, 0);
        return;
    }
    Report(SERVICE_START_PENDING, kStartHintMs);

    // Slow start in slices of half the hint, each with a fresh checkpoint.
    const ULONGLONG started = ::GetTickCount64();
    for (ULONGLONG elapsed = 0; elapsed < g_options.slowStartMs; elapsed = ::GetTickCount64() - started) {
        const ULONGLONG left = g_options.slowStartMs - elapsed;
        ::Sleep(static_cast<DWORD>(left < kStartHintMs / 2 ? left : kStartHintMs / 2));
        Report(SERVICE_START_PENDING, kStartHintMs);
    }
    Report(SERVICE_RUNNING, 0);

    ::WaitForSingleObject(g_stopEvent, INFINITE);
    if (g_options.hangOnStop) {
        // Never stops; ended only from outside.
        for (;;) {
            ::Sleep(kHangHintMs);
            Report(SERVICE_STOP_PENDING, kHangHintMs);
        }
    }
    Report(SERVICE_STOPPED, 0);
}

int RunService() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(L""), ServiceMain}, {nullptr, nullptr}};
    if (!::StartServiceCtrlDispatcherW(table)) {
        return static_cast<int>(Fail(L"StartServiceCtrlDispatcherW", ::GetLastError()));
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring mode = argv[1];
    Options options;
    if (mode == L"--install" && argc == 2) return InstallProduct();
    if (mode == L"--install" && argc >= 3 && ParseOptions(argc, argv, 3, true, options)) {
        return Install(argv[2], options);
    }
    if (mode == L"--uninstall" && argc == 3) return Uninstall(argv[2]);
    if (mode == L"--service" && ParseOptions(argc, argv, 2, false, g_options)) return RunService();
    return Usage();
}
