#include "services.h"

#include "utility/base/handles.h"
#include "utility/base/trace.h"

namespace vek {

namespace {

constexpr DWORD kMinPollMs = 100;
constexpr DWORD kMaxPollMs = 3000;

Status UnknownError(const wchar_t* caller) {
    const Status status = Status::LastError();
    Trace(L"Unknow Error in fun:%s\r\n", caller);
    TraceError(L"");
    return status;
}

Status Traced(const wchar_t* message) {
    const Status status = Status::LastError();
    TraceError(message);
    return status;
}

DWORD PollPause(DWORD waitHint, ULONGLONG left) {
    const DWORD hint = waitHint < kMinPollMs ? kMinPollMs : waitHint > kMaxPollMs ? kMaxPollMs : waitHint;
    return left < hint ? static_cast<DWORD>(left) : hint;
}

struct Wait {
    SC_HANDLE service;
    DWORD wanted;
    DWORD limitMs;
};

Status WaitForState(const Wait& wait, const std::wstring& name, const wchar_t* caller) {
    const ULONGLONG deadline = ::GetTickCount64() + wait.limitMs;
    for (;;) {
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(wait.service, &status)) return UnknownError(caller);
        if (status.dwCurrentState == wait.wanted) return Status::Success();
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            Trace(L"Fun:%s, Description:%s did not reach state %d within %d s\r\n", caller, name.c_str(),
                  static_cast<int>(wait.wanted), static_cast<int>(wait.limitMs / 1000));
            return Status::Failure(ERROR_SERVICE_REQUEST_TIMEOUT);
        }
        ::Sleep(PollPause(status.dwWaitHint, deadline - now));
    }
}

// Starts a stopped service, or asks a running one to stop; any other state is
// already on its way and is only waited for.
Status Request(SC_HANDLE service, ServiceAction action, DWORD state) {
    if (action == ServiceAction::Start && state == SERVICE_STOPPED && !::StartServiceW(service, 0, nullptr))
        return Traced(L"StartService failed!");
    SERVICE_STATUS status = {};
    if (action == ServiceAction::Stop && state == SERVICE_RUNNING &&
        !::ControlService(service, SERVICE_CONTROL_STOP, &status))
        return Traced(L"StopService failed!");
    return Status::Success();
}

}  // namespace

Status ControlService(const std::wstring& name, ServiceAction action, const wchar_t* caller, DWORD waitLimitMs) {
    UniqueService manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
    if (!manager) return Traced(L"OpenSCManager failed!");
    UniqueService service(
        ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP));
    if (!service) {
        if (::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return Status::Gone(ERROR_SERVICE_DOES_NOT_EXIST);
        return Traced(L"OpenService failed!");
    }
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.get(), &status)) return Traced(L"QueryServiceStatus failed!");
    if (action == ServiceAction::Other) return UnknownError(caller);
    const Status requested = Request(service.get(), action, status.dwCurrentState);
    if (!requested) return requested;
    const DWORD wanted = action == ServiceAction::Start ? SERVICE_RUNNING : SERVICE_STOPPED;
    return WaitForState({service.get(), wanted, waitLimitMs}, name, caller);
}

}  // namespace vek
