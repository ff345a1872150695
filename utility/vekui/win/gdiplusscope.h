// GDI+ started for the lifetime of the scope. Every GDI+ object must be
// gone before the scope ends, so owners declare it before their images.
#pragma once

#include "utility/vekui/win/winheaders.h"

#include <cstdint>

namespace vekui {

class GdiplusScope {
public:
    GdiplusScope();
    ~GdiplusScope();
    GdiplusScope(const GdiplusScope&) = delete;
    GdiplusScope& operator=(const GdiplusScope&) = delete;
    bool ok() const { return token_ != 0; }

private:
    ULONG_PTR token_ = 0;
};

}  // namespace vekui
