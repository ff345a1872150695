// vekholder <file> <r|rd> <ready file>
// Holds <file> open for reading, shared for reading only (r) or for reading
// and deletion (rd, what a running program's image allows), so that tests
// can see what an install does to a file in use. Creates <ready file> once
// it holds the file, then ends after 120 s or when killed.
// Exit code: 0, the error of the open (no ready file then), or
// ERROR_BAD_ARGUMENTS for a bad command line.
#include <windows.h>

#include <map>
#include <string>

#include "utility/base/handles.h"
#include "utility/base/system.h"

namespace {
constexpr DWORD kHoldMs = 120000;
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    static const std::map<std::wstring, DWORD> shares = {{L"r", FILE_SHARE_READ},
                                                         {L"rd", FILE_SHARE_READ | FILE_SHARE_DELETE}};
    const auto args = vek::CommandLineArguments();
    if (!args || args->size() != 4 || !shares.count((*args)[2])) return ERROR_BAD_ARGUMENTS;
    vek::UniqueFile held(::CreateFileW((*args)[1].c_str(), GENERIC_READ, shares.at((*args)[2]), nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (!held) return static_cast<int>(::GetLastError());
    vek::UniqueFile ready(::CreateFileW((*args)[3].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!ready) return static_cast<int>(::GetLastError());
    ready.reset();
    ::Sleep(kHoldMs);  // a bound on the hold, not a wait for anything
    return 0;
}
