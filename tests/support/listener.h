// A window of the test's own that records the messages other processes send
// to it, on a thread that pumps its messages.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <thread>
#include <algorithm>
#include <vector>

namespace vektest {

struct ReceivedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class ListenerWindow {
public:
    // `onMessage` runs on the window's thread inside the handler, while the
    // sender is still blocked in SendMessage.
    explicit ListenerWindow(UINT recorded, std::function<void()> onMessage = {},
                            const wchar_t* className = L"VekTestListener", DWORD style = WS_OVERLAPPED)
        : ListenerWindow(std::vector<UINT>{recorded}, std::move(onMessage), className, style) {}
    ListenerWindow(std::vector<UINT> recorded, std::function<void()> onMessage,
                   const wchar_t* className = L"VekTestListener", DWORD style = WS_OVERLAPPED);
    ~ListenerWindow();

    HWND window() const { return window_; }
    std::vector<ReceivedMessage> Received();

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    void Run(HANDLE ready, const wchar_t* className, DWORD style);

    std::vector<UINT> recorded_;
    std::function<void()> onMessage_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
    std::mutex lock_;
    std::vector<ReceivedMessage> received_;
    std::thread thread_;
};

}  // namespace vektest
