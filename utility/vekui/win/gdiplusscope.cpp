#include "utility/vekui/win/gdiplusscope.h"

#include "utility/vekui/win/gdiplusinc.h"

namespace vekui {

GdiplusScope::GdiplusScope() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) token_ = token;
}

GdiplusScope::~GdiplusScope() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
}

}  // namespace vekui
