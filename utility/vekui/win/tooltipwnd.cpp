#include "utility/vekui/win/tooltipwnd.h"

#include <commctrl.h>

namespace vekui {
namespace {

COLORREF ToColorRef(Color c) { return RGB(ColorRed(c), ColorGreen(c), ColorBlue(c)); }

TTTOOLINFOW ToolInfo(HWND owner, const wchar_t* text) {
    TTTOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(owner);
    info.lpszText = const_cast<wchar_t*>(text);
    return info;
}

}  // namespace

void CTooltipWnd::SetColors(Color background, Color text) {
    background_ = background;
    textColor_ = text;
}

bool CTooltipWnd::Ensure(HWND owner) {
    if (hwnd_ && owner_ == owner) return true;
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&init);
    hwnd_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr));
    if (!hwnd_) return false;
    owner_ = owner;
    TTTOOLINFOW info = ToolInfo(owner, L"");
    ::SendMessageW(hwnd_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    ::SendMessageW(hwnd_.get(), TTM_SETTIPBKCOLOR, ToColorRef(background_), 0);
    ::SendMessageW(hwnd_.get(), TTM_SETTIPTEXTCOLOR, ToColorRef(textColor_), 0);
    ::SendMessageW(hwnd_.get(), TTM_SETMAXTIPWIDTH, 0, 400);
    return true;
}

void CTooltipWnd::Show(HWND owner, const std::wstring& text, const Rect& controlRect) {
    if (text.empty()) return Hide();
    if (!Ensure(owner)) return;
    text_ = text;
    TTTOOLINFOW info = ToolInfo(owner, text_.c_str());
    ::SendMessageW(hwnd_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    POINT at{controlRect.left, controlRect.bottom + 2};
    ::ClientToScreen(owner, &at);
    ::SendMessageW(hwnd_.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    ::SendMessageW(hwnd_.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
}

void CTooltipWnd::Hide() {
    if (!hwnd_) return;
    TTTOOLINFOW info = ToolInfo(owner_, L"");
    ::SendMessageW(hwnd_.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
}

}  // namespace vekui
