#include "listener.h"

namespace vektest {

ListenerWindow::ListenerWindow(std::vector<UINT> recorded, std::function<void()> onMessage,
                               const wchar_t* className, DWORD style)
    : recorded_(std::move(recorded)), onMessage_(std::move(onMessage)) {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread(&ListenerWindow::Run, this, ready, className, style);
    ::WaitForSingleObject(ready, 10000);
    ::CloseHandle(ready);
}

ListenerWindow::~ListenerWindow() {
    if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
}

std::vector<ReceivedMessage> ListenerWindow::Received() {
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

LRESULT CALLBACK ListenerWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ListenerWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && std::find(self->recorded_.begin(), self->recorded_.end(), message) != self->recorded_.end()) {
        if (self->onMessage_) self->onMessage_();
        std::lock_guard<std::mutex> guard(self->lock_);
        self->received_.push_back({message, wParam, lParam});
        return 0;
    }
    if (message == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void ListenerWindow::Run(HANDLE ready, const wchar_t* className, DWORD style) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassW(&windowClass);  // fails harmlessly when already registered
    window_ = ::CreateWindowExW(0, className, L"listener", style, 0, 0, 100, 100, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetEvent(ready);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
}

}  // namespace vektest
