// An image reference of the layout: a file of the skin, optionally one cell
// of it and a place inside the control. Written either as a bare file name
// ("Image/BkViewInit.png") or as quoted fields:
//   file='Image/BtnInstall.svg' source='0,0,216,38' dest='0,1,14,15'
//   source125='0,0,18,18' source175='0,0,25,25' fade='128'
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "utility/vekui/core/geometry.h"

namespace vekui {

struct ImageSpec {
    std::string file;               // path in the skin, '/' separated
    bool hasSource = false;
    Rect source;                    // cell at 100 %, in the 100 % image's pixels
    std::map<int, Rect> sourceAt;   // cells given for a scale percentage (125, 175)
    bool hasDest = false;
    Rect dest;                      // relative to the control, 100 % units
    uint8_t fade = 255;

    bool Empty() const { return file.empty(); }
};

// Parses either form; a malformed field is ignored (the image keeps its
// default for it), an empty text gives an empty spec.
ImageSpec ParseImageSpec(std::string_view text);

// The file name of the variant for a scale percentage: "Image/a.png" at 150
// gives "Image/a@150.png" (formed with "@%d."); 100 gives the name itself.
std::string ImageVariantName(const std::string& file, int percent);

}  // namespace vekui
