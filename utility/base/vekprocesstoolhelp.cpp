#include "vekprocesstoolhelp.h"

#include <tlhelp32.h>

#include "utility/base/handles.h"

namespace vek {

bool ForEachProcess(const std::function<void(const ProcessEntry&)>& visit) {
    UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        visit(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
    }
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

}  // namespace vek
