#include "services.h"

#include "tests/support/process.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"

namespace vektest {

namespace {

std::wstring ServiceProgram() {
    return TestBinDir().substr(0, TestBinDir().find_last_of(L'\\')) + L"\\payload\\divaruzov.exe";
}

}  // namespace

TestService::TestService(const std::wstring& flags) : name_(L"VekTestSvc" + std::to_wstring(::GetCurrentProcessId())) {
    Started install = StartProcess(ServiceProgram(), L"--install " + name_ + L" " + flags);
    installed_ = install.process && WaitExit(install.process.get(), 20000) == 0;
}

// Marked for deletion first: Wine forgets a service whose process dies only
// when it is marked.
TestService::~TestService() {
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    vek::UniqueService service(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS));
    ::DeleteService(service.get());
    SERVICE_STATUS_PROCESS status = {};
    DWORD size = 0;
    if (::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                               &size) &&
        status.dwProcessId) {
        vek::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, status.dwProcessId));
        if (process) ::TerminateProcess(process.get(), 0);
    }
}

std::string TestService::lua() const { return "'" + Utf8(name_) + "'"; }

DWORD TestService::State() const {
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    vek::UniqueService service(::OpenServiceW(manager.get(), name_.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    return service && ::QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

}  // namespace vektest
