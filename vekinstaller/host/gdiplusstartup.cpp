#include "gdiplusstartup.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <mutex>

void EnsureGdiplusStarted() {
    static std::once_flag once;
    std::call_once(once, [] {
        static ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    });
}
