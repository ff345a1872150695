#pragma once

#include <string>

namespace vek {

// Enables or disables a privilege of the installer's own token. A call that
// succeeds without the privilege being assigned counts as success.
bool SetPrivilege(const std::wstring& name, bool enable);

}  // namespace vek
