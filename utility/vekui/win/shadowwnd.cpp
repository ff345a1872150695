#include "utility/vekui/win/shadowwnd.h"

#include <algorithm>
#include <cmath>

#include "utility/vekui/core/geometry.h"

namespace vekui {
namespace {

constexpr wchar_t kShadowClass[] = L"VekUiShadow";
constexpr UINT kHandActivationOn = WM_APP + 1;
constexpr int kMarginAt100 = 10;
constexpr double kStrongest = 56;  // opacity right at the window's edge

// The shadow never keeps the activation: Wine gives it to the shadow when a
// dialog of the shaded window closes, and the keyboard would then reach
// nothing. It is handed on to the shaded window once the change is done.
LRESULT CALLBACK ShadowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) ::PostMessageW(hwnd, kHandActivationOn, 0, 0);
    if (msg == kHandActivationOn) {
        HWND target = reinterpret_cast<HWND>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (target && ::GetForegroundWindow() == hwnd && ::IsWindowVisible(target)) ::SetForegroundWindow(target);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterShadowClass() {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(::GetModuleHandleW(nullptr), kShadowClass, &existing)) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ShadowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kShadowClass;
    return ::RegisterClassExW(&wc) != 0;
}

}  // namespace

int ShadowAlpha(double distance, int margin) {
    if (margin <= 0 || distance >= margin) return 0;
    if (distance <= 0) return static_cast<int>(kStrongest);
    const double t = 1.0 - distance / margin;
    return static_cast<int>(std::lround(kStrongest * t * t * (3 - 2 * t)));
}

int CShadowWnd::Margin() const { return ScaleLength(kMarginAt100, dpi_); }

bool CShadowWnd::Create(HWND target) {
    target_ = target;
    if (!RegisterShadowClass()) return false;
    // Not owned by the target (an owned window always stays above its
    // owner); kept below it by Follow.
    hwnd_.reset(::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                  kShadowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr));
    if (!hwnd_.valid()) return false;
    ::SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(target));
    return true;
}

void CShadowWnd::Destroy() { hwnd_.reset(); }

void CShadowWnd::SetDpi(int dpi) {
    dpi_ = dpi;
    rendered_ = {};
}

bool CShadowWnd::Render(SIZE windowSize) {
    const int margin = Margin();
    const Size size{windowSize.cx + 2 * margin, windowSize.cy + 2 * margin};
    if (!surface_.Resize(size)) return false;
    uint32_t* bits = surface_.Bits();
    for (int y = 0; y < size.cy; ++y) {
        const int dy = std::max({margin - y, y - (size.cy - 1 - margin), 0});
        for (int x = 0; x < size.cx; ++x) {
            const int dx = std::max({margin - x, x - (size.cx - 1 - margin), 0});
            const uint32_t alpha = static_cast<uint32_t>(ShadowAlpha(std::sqrt(double(dx * dx + dy * dy)), margin));
            bits[static_cast<size_t>(y) * size.cx + x] = alpha << 24;  // black, premultiplied
        }
    }
    rendered_ = windowSize;
    return true;
}

void CShadowWnd::Follow() {
    if (!hwnd_ || !target_) return;
    RECT rect = {};
    const bool shown = ::IsWindowVisible(target_) && !::IsIconic(target_) && ::GetWindowRect(target_, &rect);
    if (!shown) {
        ::ShowWindow(hwnd_.get(), SW_HIDE);
        return;
    }
    const SIZE windowSize{rect.right - rect.left, rect.bottom - rect.top};
    if ((windowSize.cx != rendered_.cx || windowSize.cy != rendered_.cy) && !Render(windowSize)) return;
    const int margin = Margin();
    POINT origin{rect.left - margin, rect.top - margin};
    SIZE size{surface_.GetSize().cx, surface_.GetSize().cy};
    POINT source{0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(hwnd_.get(), nullptr, &origin, &size, surface_.Dc(), &source, 0, &blend, ULW_ALPHA);
    ::SetWindowPos(hwnd_.get(), target_, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

}  // namespace vekui
