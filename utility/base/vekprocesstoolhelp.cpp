#include "vekprocesstoolhelp.h"

#include <psapi.h>
#include <tlhelp32.h>

#include "utility/base/privileges.h"
#include "utility/base/trace.h"

namespace vek {

namespace {

constexpr DWORD kCloseWaitMs = 3000;

void WalkSnapshot(HANDLE snapshot, const std::function<void(const ProcessEntry&)>& visit) {
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
        visit(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
    }
}

BOOL CALLBACK AskToClose(HWND window, LPARAM pid) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(pid)) {
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

}  // namespace

bool ForEachProcess(const std::function<void(const ProcessEntry&)>& visit) {
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    WalkSnapshot(snapshot.get(), visit);
    return true;
}

void TerminateProcessesByName(const std::vector<std::wstring>& names, UINT exitCode) {
    ForEachProcess([&](const ProcessEntry& process) {
        for (const std::wstring& name : names) {
            if (::lstrcmpiW(process.exeName.c_str(), name.c_str()) != 0) continue;
            UniqueHandle handle(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, process.pid));
            if (handle) ::TerminateProcess(handle.get(), exitCode);
            return;
        }
    });
}

ProcessToolHelp::ProcessToolHelp() : snapshot_(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)) {}

std::vector<DWORD> ProcessToolHelp::FindProcessIdsByName(const std::wstring& name) const {
    std::vector<DWORD> ids;
    if (!snapshot_) return ids;
    WalkSnapshot(snapshot_.get(), [&](const ProcessEntry& process) {
        if (process.pid != 0 && ::lstrcmpiW(process.exeName.c_str(), name.c_str()) == 0) ids.push_back(process.pid);
    });
    return ids;
}

long long ProcessToolHelp::FindProcessIdByName(const std::wstring& name) const {
    const std::vector<DWORD> ids = FindProcessIdsByName(name);
    return ids.empty() ? -1 : static_cast<long long>(ids.front());
}

bool ProcessToolHelp::DevicePathToDosPath(std::wstring& path) {
    if (drives_.empty()) {
        const DWORD needed = ::GetLogicalDriveStringsW(0, nullptr);
        std::wstring roots(needed + 1, L'\0');
        if (needed == 0 || ::GetLogicalDriveStringsW(needed, roots.data()) == 0) {
            TraceError(L"GetLogicalDriveStrings failed");
            return false;
        }
        for (const wchar_t* root = roots.c_str(); *root; root += wcslen(root) + 1) {
            const std::wstring drive(root, 2);
            wchar_t device[MAX_PATH] = {};
            if (::QueryDosDeviceW(drive.c_str(), device, MAX_PATH)) drives_[device] = drive;
        }
    }
    // The device prefix ends at the third backslash.
    size_t third = 0;
    for (int i = 0; i < 3 && third != std::wstring::npos; ++i) third = path.find(L'\\', i == 0 ? 0 : third + 1);
    if (third == std::wstring::npos) return true;
    const auto it = drives_.find(path.substr(0, third));
    path.replace(0, third, it == drives_.end() ? std::wstring() : it->second);
    return true;
}

bool KillProcessById(DWORD pid) {
    if (pid == 0) return true;
    ::EnumWindows(AskToClose, static_cast<LPARAM>(pid));
    SetPrivilege(L"SeDebugPrivilege", true);
    UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    if (::WaitForSingleObject(process.get(), kCloseWaitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 0);
    }
    return ::WaitForSingleObject(process.get(), kCloseWaitMs) == WAIT_OBJECT_0;
}

std::vector<DWORD> ProcessIdsByName(const std::wstring& name) {
    return ProcessToolHelp().FindProcessIdsByName(name);
}

bool EndProcess(const ProcessTarget& target, const std::optional<WindowMessage>& message) {
    if (message) {
        HWND window = ::FindWindowW(message->className.c_str(), nullptr);
        if (window) ::PostMessageW(window, message->message, message->wParam, message->lParam);
    }
    const long long pid = target.byId ? target.id : ProcessToolHelp().FindProcessIdByName(target.name);
    if (pid == -1) return true;
    return KillProcessById(static_cast<DWORD>(pid));
}

std::optional<std::wstring> ProcessImagePath(DWORD pid) {
    std::wstring path;
    {
        UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
        if (!process) return std::nullopt;
        wchar_t image[MAX_PATH] = {};
        const DWORD length = ::GetProcessImageFileNameW(process.get(), image, MAX_PATH);
        if (length == 0) return std::nullopt;
        path.assign(image, length);
    }
    if (!ProcessToolHelp().DevicePathToDosPath(path)) return std::nullopt;
    return path;
}

}  // namespace vek
