// Starting and stopping a Windows service and waiting, bounded, until it has.
#pragma once

#include <windows.h>

#include <string>

#include "utility/base/status.h"

namespace vek {

enum class ServiceAction { Start, Stop, Other };

// How long a start or stop may take before the call gives up: a service that
// never gets there must not hang the install with it.
constexpr DWORD kServiceWaitLimitMs = 30000;

// Brings service `name` to running (Start) or stopped (Stop): starts it when
// it is stopped, asks it to stop when it runs, then polls until it is there
// (sleeping its wait hint, kept between 100 ms and 3 s) for at most
// `waitLimitMs`. A service that is not installed is ok (nothing to do);
// Other fails once the service is open. Traces name `caller`; the error is
// the failing call's, or ERROR_SERVICE_REQUEST_TIMEOUT when the wait ran out.
Status ControlService(const std::wstring& name, ServiceAction action, const wchar_t* caller,
                      DWORD waitLimitMs = kServiceWaitLimitMs);

}  // namespace vek
