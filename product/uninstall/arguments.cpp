#include "arguments.h"

#include <windows.h>

#include "utility/base/system.h"

namespace {

bool IsKey(const std::wstring& argument, const wchar_t* key) { return _wcsicmp(argument.c_str(), key) == 0; }

// The text after `key` (which ends in "="), when `argument` starts with it.
std::optional<std::wstring> ValueOf(const std::wstring& argument, const wchar_t* key) {
    const size_t length = wcslen(key);
    if (argument.size() < length || _wcsnicmp(argument.c_str(), key, length) != 0) return std::nullopt;
    return argument.substr(length);
}

std::wstring WithoutTrailingBackslash(std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

void ReadArgument(const std::wstring& argument, UninstallArguments& parsed) {
    if (IsKey(argument, L"/S")) {
        parsed.silent = true;
    } else if (IsKey(argument, L"/ClearUserData")) {
        parsed.clearUserData = true;
    } else if (auto reason = ValueOf(argument, L"/reason=")) {
        parsed.reason = std::move(reason);
    } else if (auto suggest = ValueOf(argument, L"/suggest=")) {
        parsed.suggest = std::move(suggest);
    } else if (auto contact = ValueOf(argument, L"/contact=")) {
        parsed.contact = std::move(contact);
    } else if (auto folder = ValueOf(argument, kInstallDirKey)) {
        parsed.installDir = WithoutTrailingBackslash(*folder);
    }
}

}  // namespace

UninstallArguments ParseArguments(const std::vector<std::wstring>& given) {
    UninstallArguments parsed;
    parsed.given = given;
    for (const std::wstring& argument : given) ReadArgument(argument, parsed);
    return parsed;
}

std::vector<std::wstring> ProgramArguments() {
    auto arguments = vek::CommandLineArguments();
    if (!arguments || arguments->empty()) return {};
    arguments->erase(arguments->begin());
    return *arguments;
}
