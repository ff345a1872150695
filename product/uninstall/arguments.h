// Uninstall.exe's command line. Each argument as CommandLineToArgvW splits
// it (so a value may be quoted and hold blanks or slashes); keys ignore case:
//   /S                silent: no dialog
//   /ClearUserData    also delete the user data
//   /reason=<text>    feedback: the reasons, handed to the script as given
//   /suggest=<text>   feedback: a suggestion
//   /contact=<text>   feedback: how to reach the user
//   /InstallDir=<folder>  the install folder; given only to the work copy,
//                         which it marks as such
// Anything else is ignored.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct UninstallArguments {
    std::vector<std::wstring> given;  // as received, the program's own path left out
    bool silent = false;
    bool clearUserData = false;
    std::optional<std::wstring> reason;
    std::optional<std::wstring> suggest;
    std::optional<std::wstring> contact;
    std::wstring installDir;  // empty outside the work copy

    bool IsWorkCopy() const { return !installDir.empty(); }
};

UninstallArguments ParseArguments(const std::vector<std::wstring>& given);

// This process's arguments, its own path left out.
std::vector<std::wstring> ProgramArguments();

constexpr wchar_t kInstallDirKey[] = L"/InstallDir=";
