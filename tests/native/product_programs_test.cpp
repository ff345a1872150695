// The payload's programs as the installer uses them: the service program's
// registration of the product's service, and the main program's log of its
// starts.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/dialogs.h"
#include "tests/support/process.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

constexpr wchar_t kProductService[] = L"TovikCleanSvc";

struct ServiceConfig {
    bool found = false;
    std::wstring image, account, display;
    DWORD start = 0, type = 0;
};

ServiceConfig ReadConfig(const std::wstring& name) {
    ServiceConfig config;
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    vek::UniqueService service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
    DWORD size = 0;
    if (!service) return config;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!::QueryServiceConfigW(service.get(), query, size, &size)) return config;
    config.found = true;
    config.image = query->lpBinaryPathName ? query->lpBinaryPathName : L"";
    config.account = query->lpServiceStartName ? query->lpServiceStartName : L"";
    config.display = query->lpDisplayName ? query->lpDisplayName : L"";
    config.start = query->dwStartType;
    config.type = query->dwServiceType;
    return config;
}

// A registration as an earlier install would have left it.
bool RegisterEarlier(const std::wstring& name, DWORD start) {
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
    vek::UniqueService service(::CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_QUERY_STATUS,
                                                SERVICE_WIN32_OWN_PROCESS, start, SERVICE_ERROR_NORMAL,
                                                L"\"C:\\Old\\divaruzov.exe\" --service", nullptr, nullptr, nullptr,
                                                nullptr, nullptr));
    return service.valid();
}

DWORD RunServiceProgram(const std::wstring& args) {
    Started run = StartProcess(PayloadPath(L"divaruzov.exe"), args);
    return run.process ? WaitExit(run.process.get(), 20000) : ::GetLastError();
}

// Ends a program that a failed check left running.
class Ended {
public:
    explicit Ended(HANDLE process) : process_(process) {}
    ~Ended() {
        if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_, 1);
            ::WaitForSingleObject(process_, 10000);
        }
    }
    Ended(const Ended&) = delete;
    Ended& operator=(const Ended&) = delete;

private:
    HANDLE process_;
};

// Removes the registration with the program's own --uninstall, and directly
// when that failed.
class Registration {
public:
    explicit Registration(std::wstring name) : name_(std::move(name)) { Remove(); }
    ~Registration() { Remove(); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    void Remove() {
        if (!ReadConfig(name_).found) return;
        EXPECT_EQ(RunServiceProgram(L"--uninstall " + name_), 0u);
        vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        vek::UniqueService service(::OpenServiceW(manager.get(), name_.c_str(), DELETE));
        if (service) ::DeleteService(service.get());
    }
    std::wstring name_;
};

}  // namespace

// "--install" alone registers the product's service to start with Windows
// as LocalSystem, from the program's own quoted path; over an earlier
// registration it points it here and makes it start with Windows again.
// "--install <name>" still registers a test service started on demand and
// keeps the start type of an earlier one.
TEST(ProductService, InstallRegistersTheProductsServiceOrANamedOne) {
    const std::wstring named = L"VekNamedSvc" + std::to_wstring(::GetCurrentProcessId());
    const struct {
        const char* label;
        std::wstring name, args;
        DWORD earlier;  // start type of an earlier registration; 0: none
        DWORD start;
    } cases[] = {
        {"the product's, fresh", kProductService, L"--install", 0, SERVICE_AUTO_START},
        {"the product's, over an earlier one", kProductService, L"--install", SERVICE_DEMAND_START,
         SERVICE_AUTO_START},
        {"a named one, fresh", named, L"--install " + named, 0, SERVICE_DEMAND_START},
        {"a named one, over an earlier one", named, L"--install " + named, SERVICE_AUTO_START, SERVICE_AUTO_START},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Registration registration(c.name);
        if (c.earlier) {
            ASSERT_TRUE(RegisterEarlier(c.name, c.earlier));
        }
        ASSERT_EQ(RunServiceProgram(c.args), 0u);
        const ServiceConfig config = ReadConfig(c.name);
        ASSERT_TRUE(config.found);
        EXPECT_EQ(config.image, L"\"" + PayloadPath(L"divaruzov.exe") + L"\" --service");
        EXPECT_EQ(config.start, c.start);
        EXPECT_EQ(config.account, L"LocalSystem");
        EXPECT_EQ(config.display, c.name);
        EXPECT_EQ(config.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    }
}

// One line per start, in order, in the log under %LOCALAPPDATA% (here a
// fresh folder, so the log's folder is made by the program); the program
// still closes on request.
TEST(ProductMain, EachStartAppendsItsArgumentsToTheLog) {
    TempDir appData;
    const struct {
        const wchar_t* args;
        const char* line;
    } starts[] = {
        {L"/menu", "start: /menu"},
        {L"", "start:"},
        {L"/auto", "start: /auto"},
        {L"  /menu  \"D:\\盘 x\"  ", "start: /menu  \"D:\\\xe7\x9b\x98 x\""},
    };
    std::vector<std::string> expected;
    for (const auto& start : starts) {
        SCOPED_TRACE(start.line);
        Started main = StartProcess(PayloadPath(L"TovikCCleanerMain.exe"), start.args,
                                    {{L"LOCALAPPDATA", appData.path()}});
        ASSERT_TRUE(main.process);
        const Ended ended(main.process.get());
        // Polled for: Wine's WaitForInputIdle has returned before the window
        // existed (once in 40 runs).
        HWND window = nullptr;
        ASSERT_TRUE(Eventually([&] { return (window = TopLevelWindowOf(main.pid, L"TovikCleanWnd")) != nullptr; }));
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitExit(main.process.get(), 20000), 0u);
        expected.push_back(start.line);
    }
    const std::wstring log = appData / L"TovikClean\\TovikCCleanerMain.log";
    EXPECT_EQ(ReadLines(log), expected);
    const std::string bytes = ReadBytes(log);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << "every line ends in CR LF";
}
