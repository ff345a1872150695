#include "utility/vekui/win/windowwnd.h"

#include <algorithm>

#include "utility/vekui/win/skinstore.h"

namespace vekui {

CWindowWnd::~CWindowWnd() {
    if (hwnd_ && ::IsWindow(hwnd_)) {
        // The object is half gone: no more messages reach it.
        ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd_);
    }
}

bool CWindowWnd::RegisterWindowClass() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    if (::GetClassInfoExW(instance, GetWindowClassName(), &existing)) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = GetClassStyle();
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rect) {
    if (hwnd_ || !RegisterWindowClass()) return nullptr;
    ::CreateWindowExW(exStyle, GetWindowClassName(), title, style, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, parent, nullptr, ::GetModuleHandleW(nullptr), this);
    return hwnd_;  // set at WM_NCCREATE, cleared again if creation failed
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<CWindowWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        LRESULT result = self->HandleMessage(msg, wParam, lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->OnFinalMessage(hwnd);
        return result;
    }
    return self->HandleMessage(msg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void CWindowWnd::ShowWindow(bool show, bool activate) {
    ::ShowWindow(hwnd_, show ? (activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CWindowWnd::Close() { PostMessage(WM_CLOSE); }

void CWindowWnd::CenterWindow() {
    RECT window = {};
    if (!::GetWindowRect(hwnd_, &window)) return;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info);
    RECT area = info.rcWork;
    HWND owner = ::GetWindow(hwnd_, GW_OWNER);
    if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &area);
    const int width = window.right - window.left, height = window.bottom - window.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep it on the work area when the owner sits at an edge.
    x = std::max<int>(info.rcWork.left, std::min<int>(x, info.rcWork.right - width));
    y = std::max<int>(info.rcWork.top, std::min<int>(y, info.rcWork.bottom - height));
    ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId) {
    HINSTANCE instance = GetResourceInstance();
    if (!instance) instance = ::GetModuleHandleW(nullptr);
    UniqueIcon big(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
    UniqueIcon small(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                                                     ::GetSystemMetrics(SM_CXSMICON),
                                                     ::GetSystemMetrics(SM_CYSMICON), 0)));
    if (big) SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    if (small) SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    // The window holds the icons until it is given others: keep them as long.
    if (big) bigIcon_ = std::move(big);
    if (small) smallIcon_ = std::move(small);
}

LRESULT CWindowWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(hwnd_, msg, wParam, lParam);
}

BOOL CWindowWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(hwnd_, msg, wParam, lParam);
}

}  // namespace vekui
