// A program this one starts and waits for, e.g. a copy of itself: by full
// path, with a command line made from single arguments.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "utility/base/handles.h"
#include "utility/base/status.h"

namespace vek {

// One argument as CommandLineToArgvW reads it back: unchanged when it needs
// no quotes, else in quotes with the backslashes before a quote doubled.
std::wstring QuoteArgument(const std::wstring& argument);
// The arguments quoted and joined with single blanks.
std::wstring JoinArguments(const std::vector<std::wstring>& arguments);

// Starts `program` (a full path; never searched for) with the whole
// `commandLine` in `folder`, inheriting no handles. Its process handle goes
// to `process` when one is asked for, else it is closed at once.
Status StartChild(const std::wstring& program, std::wstring commandLine, const std::wstring& folder,
                  const STARTUPINFOW& startup, UniqueHandle* process = nullptr);

struct ChildEnd {
    Status started;        // the start's error when it failed
    bool ended = false;    // false: still running when the wait ran out
    DWORD exitCode = 0;
};

// Starts `program` (a full path; never searched for) with the command line
// "<program>" <arguments>, in `folder`, shown as this program was asked to
// show itself, inheriting no handles, and waits at most `waitMs` for its end.
ChildEnd RunToEnd(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
                  DWORD waitMs);

}  // namespace vek
