// Script-level checks (tests/lua) run inside the probe installer: check.lua,
// a prelude and the check file; every failed check is a test failure.
#pragma once

#include <string>

#include "tests/support/process.h"

namespace vektest {

// The text of tests/lua/<name>.
std::string LuaSource(const std::wstring& name);
RunResult RunChecks(const std::wstring& file, const std::string& prelude = "", const std::wstring& args = L"");

}  // namespace vektest
