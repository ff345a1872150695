// Running processes, from a toolhelp snapshot taken per call.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "utility/base/handles.h"

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

// One snapshot of the processes for the length of a host call, and the map
// from NT device names to drive letters, built on first need.
class ProcessToolHelp {
public:
    ProcessToolHelp();

    // Ids of the processes whose image name equals `name` (ignoring case), in
    // snapshot order; process 0 is never listed.
    std::vector<DWORD> FindProcessIdsByName(const std::wstring& name) const;
    // The first of them, or -1.
    long long FindProcessIdByName(const std::wstring& name) const;

    // Rewrites "\Device\HarddiskVolume1\dir\file" to "C:\dir\file"; false
    // only when the drive map cannot be built.
    bool DevicePathToDosPath(std::wstring& path);

private:
    UniqueFile snapshot_;
    std::map<std::wstring, std::wstring> drives_;
};

// Asks every top-level window of the process to close, then ends the process
// (exit code 0) if it is still there after 3 s. True when it is gone.
bool KillProcessById(DWORD pid);

}  // namespace vek
