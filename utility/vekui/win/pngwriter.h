// A surface saved as a PNG file (straight alpha) with GDI+'s encoder.
#pragma once

#include <string>

#include "utility/vekui/win/surface.h"

namespace vekui {

bool SaveSurfacePng(const CSurface& surface, const std::wstring& path);

}  // namespace vekui
