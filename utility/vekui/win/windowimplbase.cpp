#include "utility/vekui/win/windowimplbase.h"

#include <windowsx.h>

#include <algorithm>

#include "utility/base/textconv.h"
#include "utility/vekui/core/layoutbuilder.h"
#include "utility/vekui/win/dpi.h"
#include "utility/vekui/win/gdipluspainter.h"
#include "utility/vekui/win/skinstore.h"

namespace vekui {
namespace {

unsigned MouseModifiers(WPARAM wParam) {
    unsigned modifiers = 0;
    if (wParam & MK_SHIFT) modifiers |= kModShift;
    if (wParam & MK_CONTROL) modifiers |= kModControl;
    if (::GetKeyState(VK_MENU) < 0) modifiers |= kModAlt;
    return modifiers;
}

unsigned KeyModifiers() {
    unsigned modifiers = 0;
    if (::GetKeyState(VK_SHIFT) < 0) modifiers |= kModShift;
    if (::GetKeyState(VK_CONTROL) < 0) modifiers |= kModControl;
    if (::GetKeyState(VK_MENU) < 0) modifiers |= kModAlt;
    return modifiers;
}

Point PointOf(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

// Paints are batched behind one posted message per turn of the loop.
UINT WindowImplBase::PaintBatchMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"VekUiPaintBatch");
    return message;
}

// Text measuring outside painting, on a graphics of its own.
class WindowImplBase::Measurer : public ITextMetrics {
public:
    Measurer(CTextRenderer& text, const CUiManager& manager)
        : text_(text), manager_(manager), bitmap_(1, 1, PixelFormat32bppPARGB), graphics_(&bitmap_) {}
    Size MeasureText(const std::wstring& text, int fontId) override {
        return text_.Measure(graphics_, text, fontId, manager_.Dpi());
    }

private:
    CTextRenderer& text_;
    const CUiManager& manager_;
    Gdiplus::Bitmap bitmap_;
    Gdiplus::Graphics graphics_;
};

WindowImplBase::WindowImplBase()
    : manager_(this),
      text_(std::make_unique<CTextRenderer>(manager_.Fonts())),
      measurer_(std::make_unique<Measurer>(*text_, manager_)) {}

WindowImplBase::~WindowImplBase() {
    // The window goes before the controls and pictures it draws.
    if (GetHWND() && ::IsWindow(GetHWND())) ::DestroyWindow(GetHWND());
}

ITextMetrics& WindowImplBase::TextMetrics() { return *measurer_; }

const ISkinFiles* WindowImplBase::GetSkin() { return GetResourceSkin(); }

HWND WindowImplBase::Create(HWND parent, const wchar_t* title) {
    const DWORD style = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;
    const RECT nowhere = {0, 0, 0, 0};
    return CWindowWnd::Create(parent, title, style, WS_EX_LAYERED | WS_EX_APPWINDOW, nowhere);
}

bool WindowImplBase::BuildFromSkin() {
    const ISkinFiles* skin = GetSkin();
    if (!skin) {
        layoutError_ = "no skin";
        return false;
    }
    images_ = std::make_unique<CImageCache>(*skin);
    const ControlFactory factory = [this](std::string_view kind) { return CreateControl(kind); };
    if (!BuildLayout(*skin, vek::WideToUtf8(GetSkinFile()), manager_, &layoutError_, factory)) return false;
    const WindowAttributes& window = manager_.Window();
    text_->SetRenderingHint(window.textRenderingHint);
    tooltip_.SetColors(window.tooltipBkColor, window.tooltipTextColor);
    return manager_.GetRoot() != nullptr;
}

bool WindowImplBase::OnCreate() {
    if (!gdiplus_.ok() || !BuildFromSkin()) return false;
    manager_.AddNotifier(this);
    if (manager_.Window().showShadow) shadow_.Create(GetHWND());
    ApplyDpi(WindowDpi(GetHWND()), nullptr);
    OnLayoutReady();
    manager_.SendNotify(manager_.GetRoot(), "windowinit");
    FlushPaint();
    return true;
}

void WindowImplBase::ApplyDpi(int dpi, const RECT* suggested) {
    manager_.SetDpi(dpi);
    shadow_.SetDpi(dpi);
    const Size size = manager_.WindowSize();
    RECT now = {};
    ::GetWindowRect(GetHWND(), &now);
    const POINT at = suggested ? POINT{suggested->left, suggested->top} : POINT{now.left, now.top};
    surface_.Resize(size);
    manager_.Layout(size);
    dirty_.Clear();
    dirty_.Add({0, 0, size.cx, size.cy});
    // The new frame goes up with the new size, so no stretched old one shows.
    PaintDirty();
    ::SetWindowPos(GetHWND(), nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowImplBase::AddMessageFilter(IMessageFilterUI* filter) {
    if (filter && std::find(filters_.begin(), filters_.end(), filter) == filters_.end()) filters_.push_back(filter);
}

void WindowImplBase::RemoveMessageFilter(IMessageFilterUI* filter) {
    filters_.erase(std::remove(filters_.begin(), filters_.end(), filter), filters_.end());
}

bool WindowImplBase::Dispatch(const NotifyMapEntry* map, TNotifyUI& msg) {
    for (; map && map->type; ++map) {
        if (msg.type != map->type) continue;
        if (map->name && *map->name && (!msg.sender || msg.sender->GetName() != map->name)) continue;
        (this->*(map->handler))(msg);
        return true;
    }
    return false;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    static const NotifyMapEntry kBaseMap[] = {
        {"click", "minbtn", &WindowImplBase::OnMinimizeClick},
        {nullptr, nullptr, nullptr},
    };
    if (!Dispatch(GetNotifyMap(), msg)) Dispatch(kBaseMap, msg);
}

void WindowImplBase::OnMinimizeClick(TNotifyUI&) { Minimize(); }

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT WindowImplBase::HitTest(LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(GetHWND(), &pt);
    return manager_.IsCaptionAt({pt.x, pt.y}) ? HTCAPTION : HTCLIENT;
}

bool WindowImplBase::HandleInput(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (msg) {
        case WM_MOUSEMOVE:
            if (!trackingLeave_) {
                TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, GetHWND(), 0};
                trackingLeave_ = ::TrackMouseEvent(&track) != FALSE;
            }
            manager_.HandleMouseMove(PointOf(lParam), MouseModifiers(wParam));
            return true;
        case WM_MOUSELEAVE:
            trackingLeave_ = false;
            manager_.HandleMouseLeave();
            return true;
        case WM_LBUTTONDOWN:
            if (::GetFocus() != GetHWND()) ::SetFocus(GetHWND());
            manager_.HandleButtonDown(PointOf(lParam), MouseModifiers(wParam));
            return true;
        case WM_LBUTTONUP:
            manager_.HandleButtonUp(PointOf(lParam), MouseModifiers(wParam));
            return true;
        case WM_LBUTTONDBLCLK:
            manager_.HandleDoubleClick(PointOf(lParam), MouseModifiers(wParam));
            return true;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != GetHWND()) manager_.HandleCaptureLost();
            return true;
        case WM_KEYDOWN:
            return manager_.HandleKeyDown(static_cast<unsigned>(wParam), KeyModifiers());
        case WM_CHAR:
            return manager_.HandleChar(static_cast<wchar_t>(wParam));
        default:
            return false;
    }
}

LRESULT WindowImplBase::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    for (IMessageFilterUI* filter : std::vector<IMessageFilterUI*>(filters_)) {
        bool handled = false;
        const LRESULT result = filter->MessageHandler(msg, wParam, lParam, handled);
        if (handled) return result;
    }
    bool handled = false;
    const LRESULT custom = HandleCustomMessage(msg, wParam, lParam, handled);
    if (handled) return custom;
    if (msg == PaintBatchMessage()) {
        PaintDirty();
        return 0;
    }
    LRESULT result = 0;
    if (HandleInput(msg, wParam, lParam, &result)) return result;
    switch (msg) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_NCHITTEST:
            return HitTest(lParam);
        case WM_DPICHANGED:
            ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_WINDOWPOSCHANGED:
            result = CWindowWnd::HandleMessage(msg, wParam, lParam);
            shadow_.Follow();
            return result;
        case WM_ACTIVATE:
            manager_.HandleActivate(LOWORD(wParam) != WA_INACTIVE);
            break;
        case WM_TIMER: {
            CControlUI* control = nullptr;
            uintptr_t id = 0;
            if (!timers_.Find(wParam, &control, &id)) break;
            manager_.HandleTimer(control, id);
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT) break;
            SetCursor(cursor_);
            return TRUE;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            // Drawn through UpdateLayeredWindow; nothing to do here.
            PAINTSTRUCT ps;
            ::BeginPaint(GetHWND(), &ps);
            ::EndPaint(GetHWND(), &ps);
            return 0;
        }
        case WM_DESTROY:
            timers_.KillEverything(GetHWND());
            tooltip_.Destroy();
            shadow_.Destroy();
            break;
        default:
            break;
    }
    return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

void WindowImplBase::OnFinalMessage(HWND) { manager_.RemoveNotifier(this); }

void WindowImplBase::FlushPaint() {
    PaintDirty();
}

void WindowImplBase::PaintDirty() {
    paintPosted_ = false;
    if (dirty_.Empty() || !images_ || !surface_.Bits()) return;
    const Rect bounds = dirty_.Bounds();
    {
        CGdiplusPainter painter(surface_, *images_, *text_, manager_.Dpi(), bounds);
        for (const Rect& rect : dirty_.Rects()) {
            surface_.Clear(rect);
            painter.PushClip(rect);
            manager_.Paint(painter, rect);
            painter.PopClip();
        }
    }
    dirty_.Clear();
    Present(bounds);
}

void WindowImplBase::Present(const Rect& dirty) {
    SIZE size{surface_.GetSize().cx, surface_.GetSize().cy};
    POINT source{0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    RECT changed = {dirty.left, dirty.top, dirty.right, dirty.bottom};
    UPDATELAYEREDWINDOWINFO info = {};
    info.cbSize = sizeof(info);
    info.hdcSrc = surface_.Dc();
    info.psize = &size;
    info.pptSrc = &source;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = &changed;
    if (!::UpdateLayeredWindowIndirect(GetHWND(), &info))
        ::UpdateLayeredWindow(GetHWND(), nullptr, nullptr, &size, surface_.Dc(), &source, 0, &blend, ULW_ALPHA);
    OnFramePresented(dirty);
}

}  // namespace vekui
