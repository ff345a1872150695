#include "launch.h"

#include "utility/base/textconv.h"

namespace vek {

UINT LaunchViaExplorer(const std::wstring& file, const std::wstring& parameters) {
    const std::wstring commandLine = L"explorer.exe \"" + file + L"\" \"" + parameters + L"\"";
    return ::WinExec(WideToThreadAnsi(commandLine).c_str(), SW_SHOWNORMAL);
}

}  // namespace vek
