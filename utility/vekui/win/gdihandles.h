// Owning wrappers for the GDI and USER handles of the window side, on the
// native layer's one handle template.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include "utility/base/handles.h"

namespace vekui {
namespace traits {
struct Bitmap {
    static HBITMAP Invalid() { return nullptr; }
    static void Close(HBITMAP h) { ::DeleteObject(h); }
};
struct MemoryDc {  // CreateCompatibleDC
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
struct Window {
    static HWND Invalid() { return nullptr; }
    static void Close(HWND h) { ::DestroyWindow(h); }
};
struct Icon {  // LoadImage without LR_SHARED
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
struct Global {  // GlobalAlloc, until ownership passes to the system
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { ::GlobalFree(h); }
};
}  // namespace traits

using UniqueBitmap = vek::UniqueResource<HBITMAP, traits::Bitmap>;
using UniqueMemoryDc = vek::UniqueResource<HDC, traits::MemoryDc>;
using UniqueWindow = vek::UniqueResource<HWND, traits::Window>;
using UniqueIcon = vek::UniqueResource<HICON, traits::Icon>;
using UniqueGlobal = vek::UniqueResource<HGLOBAL, traits::Global>;

// A window's DC for the scope (GetDC / ReleaseDC); nullptr: the screen.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd = nullptr) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

}  // namespace vekui
