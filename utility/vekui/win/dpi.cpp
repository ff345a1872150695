#include "utility/vekui/win/dpi.h"

#include "utility/base/dllsearch.h"
#include "utility/base/handles.h"
#include "utility/vekui/core/geometry.h"

namespace vekui {
namespace {

using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

// Loaded once and kept for the process: every DPI change asks again.
GetDpiForMonitorFn DpiFunction() {
    static vek::UniqueModule shcore(vek::LoadSystemLibrary(L"Shcore.dll"));
    static auto fn = shcore ? reinterpret_cast<GetDpiForMonitorFn>(::GetProcAddress(shcore.get(), "GetDpiForMonitor"))
                            : nullptr;
    return fn;
}

}  // namespace

int MonitorDpi(HMONITOR monitor) {
    if (!monitor) monitor = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    GetDpiForMonitorFn fn = DpiFunction();
    UINT x = 0, y = 0;
    if (!fn || !monitor || FAILED(fn(monitor, kEffectiveDpi, &x, &y)) || x == 0) return kBaseDpi;
    return static_cast<int>(x);
}

int WindowDpi(HWND hwnd) {
    return MonitorDpi(hwnd ? ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY) : nullptr);
}

}  // namespace vekui
