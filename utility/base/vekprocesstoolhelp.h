// Running processes, from a toolhelp snapshot taken per call.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
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

// Ids of the running processes whose image name equals `name` (ignoring
// case), from a fresh snapshot.
std::vector<DWORD> ProcessIdsByName(const std::wstring& name);

// The process of a script's request: by id, or by image name (the first of a
// fresh snapshot).
struct ProcessTarget {
    bool byId = false;
    long long id = 0;
    std::wstring name;
};

// A message posted to the top-level window of a class before a process is
// ended.
struct WindowMessage {
    std::wstring className;
    UINT message = WM_SYSCOMMAND;
    WPARAM wParam = SC_CLOSE;
    LPARAM lParam = 0;
};

// Posts `message` (if given) to the first window of its class, if there is
// one, then ends the target with KillProcessById. True when no process has
// the name (or the id is -1), or when it is gone.
bool EndProcess(const ProcessTarget& target, const std::optional<WindowMessage>& message = std::nullopt);

// The executable path of process `pid` with a drive letter in place of its
// device (a device without one loses its prefix); nothing when the process
// cannot be queried or the drive map cannot be built.
std::optional<std::wstring> ProcessImagePath(DWORD pid);

}  // namespace vek
