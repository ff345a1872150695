// Lua_SCM: starts or stops a Windows service and waits until it has. The
// wait is bounded: a service that never gets there fails the call.
#include <windows.h>

#include "utility/base/handles.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/hostlib/hostfunctions.h"
#include "utility/vekscriptengine/scriptargs.h"

using vek::Trace;

namespace {

constexpr ULONGLONG kWaitLimitMs = 30000;
constexpr DWORD kMinPollMs = 100;
constexpr DWORD kMaxPollMs = 3000;

bool UnknownError() {
    Trace(L"Unknow Error in fun:%s\r\n", L"Lua_SCM");
    TraceError(L"");
    return false;
}

// Polls until the service is in `wanted`, sleeping the service's wait hint
// (kept between 100 ms and 3 s) between polls, for at most 30 s.
bool WaitForState(SC_HANDLE service, DWORD wanted, const std::wstring& name) {
    const ULONGLONG deadline = ::GetTickCount64() + kWaitLimitMs;
    for (;;) {
        SERVICE_STATUS status = {};
        if (!::QueryServiceStatus(service, &status)) return UnknownError();
        if (status.dwCurrentState == wanted) return true;
        if (::GetTickCount64() >= deadline) {
            Trace(L"Fun:Lua_SCM, Description:%s did not reach state %d within %d s\r\n", name.c_str(),
                  static_cast<int>(wanted), static_cast<int>(kWaitLimitMs / 1000));
            return false;
        }
        const DWORD hint = status.dwWaitHint < kMinPollMs ? kMinPollMs
                           : status.dwWaitHint > kMaxPollMs ? kMaxPollMs
                                                            : status.dwWaitHint;
        ::Sleep(hint);
    }
}

bool Control(const std::wstring& name, const std::wstring& action) {
    vek::UniqueService manager(::OpenSCManagerW(nullptr, nullptr, GENERIC_EXECUTE));
    if (!manager) {
        TraceError(L"OpenSCManager failed!");
        return false;
    }
    vek::UniqueService service(
        ::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP));
    if (!service) {
        if (::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return true;
        TraceError(L"OpenService failed!");
        return false;
    }
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.get(), &status)) {
        TraceError(L"QueryServiceStatus failed!");
        return false;
    }
    if (_wcsicmp(action.c_str(), L"start") == 0) {
        if (status.dwCurrentState == SERVICE_STOPPED && !::StartServiceW(service.get(), 0, nullptr)) {
            TraceError(L"StartService failed!");
            return false;
        }
        return WaitForState(service.get(), SERVICE_RUNNING, name);
    }
    if (_wcsicmp(action.c_str(), L"stop") == 0) {
        if (status.dwCurrentState == SERVICE_RUNNING &&
            !::ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            TraceError(L"StopService failed!");
            return false;
        }
        return WaitForState(service.get(), SERVICE_STOPPED, name);
    }
    return UnknownError();
}

}  // namespace

int Lua_SCM(lua_State* L) { return vek::PushBool(L, Control(vek::ArgText(L, 1), vek::ArgText(L, 2))); }
