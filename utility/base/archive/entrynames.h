// Which stored entry names may be written below a destination folder.
#pragma once

#include <string_view>

namespace vek {

enum class EntryName {
    Acceptable,
    LeavesDestination,  // empty, rooted, with a drive or stream colon, or a ".." part
    RenamedByWindows,   // a part that Windows would change or open as a device
};

// Parts are separated by "/" or "\". Windows drops a trailing dot or space
// of a part and opens CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (with any
// extension, in any case) as devices.
EntryName CheckEntryName(std::wstring_view name);

}  // namespace vek
