// Running processes, from a toolhelp snapshot taken per call.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vek {

struct ProcessEntry {
    DWORD pid;
    std::wstring exeName;  // image file name without folder
};

// Calls `visit` for every process of a fresh snapshot; false when no
// snapshot could be taken.
bool ForEachProcess(const std::function<void(const ProcessEntry&)>& visit);

// Ends every process whose image name equals one of `names` (ignoring case)
// with `exitCode`. Processes that cannot be opened are left running.
void TerminateProcessesByName(const std::vector<std::wstring>& names, UINT exitCode);

}  // namespace vek
