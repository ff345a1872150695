// Uninstall.exe as the work copy under the temporary folder: one uninstaller
// at a time, the chunks from the install folder, the choice (dialog or
// command line), the events.
#pragma once

#include <windows.h>

#include "product/uninstall/arguments.h"

DWORD RunWorkCopy(HINSTANCE instance, const UninstallArguments& arguments);
