// Name lookups that give up after a time budget.
#pragma once

#include <windows.h>

#include <string>

#include "product/qorstat/socket.h"

namespace qor {

// Numeric addresses are taken at once; names are looked up on a thread of
// their own, which is left to finish alone when the budget runs out.
bool ResolveWithin(const std::string& host, int port, DWORD budgetMs, Endpoint& out);

}  // namespace qor
