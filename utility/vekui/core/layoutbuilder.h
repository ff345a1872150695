// Builds a window's control tree from a layout file of the skin: the
// <Window> element's attributes, its <Include source="font.xml"/> and
// <Font> entries, and the control elements below it.
#pragma once

#include <string>
#include <string_view>

#include "utility/vekui/core/skinarchive.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui {

// Unknown elements are skipped with their children; unknown attributes are
// ignored. False with a reason when the file is missing or is not XML.
bool BuildLayout(const ISkinFiles& skin, std::string_view layoutFile, CUiManager& manager, std::string* error);

}  // namespace vekui
