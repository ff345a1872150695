// Premultiplied pixels saved as a PNG file (straight alpha) with GDI+'s
// encoder.
#pragma once

#include <cstdint>
#include <string>

#include "utility/vekui/win/surface.h"

namespace vekui {

// Top-down 0xAARRGGBB premultiplied rows of size.cx pixels.
bool SavePixelsPng(const uint32_t* pixels, Size size, const std::wstring& path);
bool SaveSurfacePng(const CSurface& surface, const std::wstring& path);

}  // namespace vekui
