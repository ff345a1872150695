// A window object: its class registration, creation and a window procedure
// that reaches the object. The object may outlive its window; a window still
// alive when the object goes is destroyed first.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include "utility/vekui/win/gdihandles.h"

namespace vekui {

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return hwnd_; }
    operator HWND() const { return hwnd_; }

    HWND Create(HWND parent, const wchar_t* title, DWORD style, DWORD exStyle, const RECT& rect);
    void ShowWindow(bool show = true, bool activate = true);
    void Close();  // as the system closes it
    // Centres on the owner, or on the work area of the window's monitor.
    void CenterWindow();
    // Big and small icons from the resource instance's icon group.
    void SetIcon(UINT resourceId);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

protected:
    virtual const wchar_t* GetWindowClassName() const = 0;
    virtual UINT GetClassStyle() const { return CS_DBLCLKS; }
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY: the window is gone, the object is not.
    virtual void OnFinalMessage(HWND hwnd) {}

private:
    bool RegisterWindowClass();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
};

}  // namespace vekui
