// The interactive uninstall: one small dialog (control ids in dialogids.h).
// The user confirms, choosing whether the user data goes too and giving
// optional feedback; the run then goes on a worker thread while the dialog
// says so, and the dialog ends in a done state with a single button.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "product/uninstall/uninstallrun.h"

// False when the user left before confirming (or no dialog could be shown):
// `run` has not been called then.
bool RunUninstallDialog(HINSTANCE instance, const std::wstring& productName,
                        const std::function<void(const UninstallChoice&)>& run);
