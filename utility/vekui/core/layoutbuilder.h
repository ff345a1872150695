// Builds a window's control tree from a layout file of the skin: the
// <Window> element's attributes, its <Include source="font.xml"/> and
// <Font> entries, and the control elements below it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "utility/vekui/core/skinarchive.h"
#include "utility/vekui/core/uimanager.h"

namespace vekui {

// Unknown elements are skipped with their children; unknown attributes are
// ignored. False with a reason when the file is missing or is not XML.
// A window may offer control kinds of its own: the factory is asked first
// for every element and returns nullptr for the kinds it does not make.
using ControlFactory = std::function<std::unique_ptr<CControlUI>(std::string_view kind)>;

bool BuildLayout(const ISkinFiles& skin, std::string_view layoutFile, CUiManager& manager, std::string* error,
                 const ControlFactory& factory = nullptr);

}  // namespace vekui
