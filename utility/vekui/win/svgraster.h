// Draws a parsed SVG document with GDI+ into a premultiplied 32-bit pixel
// buffer. GDI+ must have been started by the caller.
#pragma once

#include <cstdint>
#include <vector>

#include "utility/vekui/core/geometry.h"
#include "utility/vekui/core/svg.h"

namespace vekui {

// The largest side drawn; bigger requests fail instead of allocating.
constexpr int kMaxSvgPixels = 8192;

// The pixel size of the document at a scale in percent, rounded to nearest,
// at least 1 × 1.
Size SvgPixelSize(const svg::Document& document, int percent);

// width × height pixels, top-down, premultiplied BGRA (0xAARRGGBB in memory
// order B, G, R, A), transparent where nothing is drawn. The viewBox is
// mapped into the whole buffer, centred and keeping its aspect. False when
// the size is out of range or GDI+ fails; pixels are then empty.
bool RasterizeSvg(const svg::Document& document, int width, int height, std::vector<uint32_t>* pixels);

}  // namespace vekui
