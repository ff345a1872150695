// An SVG file of the skin as a premultiplied bitmap at a scale.
#pragma once

#include <memory>
#include <string>

#include "utility/vekui/win/gdiplusinc.h"

namespace vekui {

// nullptr when the text is not a usable SVG.
std::unique_ptr<Gdiplus::Bitmap> RasteriseSvg(const std::string& text, int percent);

}  // namespace vekui
