#include "process.h"

#include <tlhelp32.h>

#include <map>
#include <thread>

#include "tests/support/dialogs.h"
#include "utility/base/textconv.h"

namespace vektest {

namespace {

struct NoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    }
};

// The current environment with `extra` added or replaced, as a block.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& extra) {
    std::map<std::wstring, std::wstring, NoCaseLess> vars;
    wchar_t* current = ::GetEnvironmentStringsW();
    for (const wchar_t* p = current; *p; p += wcslen(p) + 1) {
        const std::wstring entry = p;
        const size_t eq = entry.find(L'=', 1);
        if (eq != std::wstring::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    ::FreeEnvironmentStringsW(current);
    for (const auto& [name, value] : extra) vars[name] = value;
    std::wstring block;
    for (const auto& [name, value] : vars) block += name + L"=" + value + L'\0';
    block += L'\0';
    return block;
}

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    const size_t unit = info.fUnicode ? 2 : 1;
    std::string bytes(info.nDebugStringLength * unit, '\0');
    SIZE_T read = 0;
    ::ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), bytes.size(), &read);
    bytes.resize(read);
    std::wstring text;
    if (info.fUnicode) {
        text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    } else {
        text = vek::ToWide(bytes, CP_ACP);
    }
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

BOOL Create(const std::wstring& exe, const std::wstring& args,
            const std::vector<std::pair<std::wstring, std::wstring>>& env, DWORD flags,
            PROCESS_INFORMATION& pi, const std::wstring& folder = {}) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!args.empty()) commandLine += L" " + args;
    std::wstring block = EnvironmentBlock(env);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    return ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                            flags | CREATE_UNICODE_ENVIRONMENT, block.data(), folder.empty() ? nullptr : folder.c_str(),
                            &si, &pi);
}

// Waits for the installer window of `pid` (or the process's end) and asks
// it to close.
void CloseInstallerWindow(DWORD pid) {
    vek::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    while (process && ::WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
        if (HWND window = TopLevelWindowOf(pid, L"CDlgInstall")) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
            return;
        }
    }
}

}  // namespace

bool RunResult::HasTrace(const std::wstring& text) const { return IndexOf(text) >= 0; }

int RunResult::IndexOf(const std::wstring& text) const {
    for (size_t i = 0; i < traces.size(); ++i) {
        if (traces[i] == text) return static_cast<int>(i);
    }
    return -1;
}

std::wstring RunResult::Joined() const {
    std::wstring all;
    for (const std::wstring& t : traces) all += L"[" + t + L"]\n";
    return all;
}

RunResult RunTraced(const RunOptions& options) {
    RunResult result;
    PROCESS_INFORMATION pi = {};
    if (!Create(options.exe, options.args, options.env, DEBUG_ONLY_THIS_PROCESS, pi, options.folder)) {
        result.exitCode = static_cast<DWORD>(-1);
        result.traces.push_back(L"<CreateProcess failed: " + std::to_wstring(::GetLastError()) + L">");
        return result;
    }
    vek::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    std::thread helper;
    if (options.whileRunning) helper = std::thread(options.whileRunning, pi.dwProcessId);
    std::thread closer;
    if (options.closeInstallerWindow) closer = std::thread(CloseInstallerWindow, pi.dwProcessId);

    const ULONGLONG deadline = ::GetTickCount64() + options.timeoutMs;
    for (bool running = true; running;) {
        DEBUG_EVENT event = {};
        if (!::WaitForDebugEvent(&event, 100)) {
            if (!result.timedOut && options.timeoutMs != INFINITE && ::GetTickCount64() > deadline) {
                result.timedOut = true;
                ::TerminateProcess(process.get(), 0xDEAD);
            }
            continue;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile) ::CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile) ::CloseHandle(event.u.LoadDll.hFile);
                break;
            case OUTPUT_DEBUG_STRING_EVENT:
                result.traces.push_back(ReadDebugString(process.get(), event.u.DebugString));
                if (options.onTrace) options.onTrace(result.traces.back());
                break;
            case EXCEPTION_DEBUG_EVENT:
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    status = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                result.exitCode = event.u.ExitProcess.dwExitCode;
                running = false;
                break;
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (helper.joinable()) helper.join();
    if (closer.joinable()) closer.join();
    return result;
}

Started StartProcess(const std::wstring& exe, const std::wstring& args,
                     const std::vector<std::pair<std::wstring, std::wstring>>& env) {
    Started started;
    PROCESS_INFORMATION pi = {};
    if (Create(exe, args, env, 0, pi)) {
        started.process.reset(pi.hProcess);
        ::CloseHandle(pi.hThread);
        started.pid = pi.dwProcessId;
    }
    return started;
}

namespace {

DWORD ChildProcess(DWORD parentPid, const std::wstring& exeName) {
    vek::UniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parentPid && _wcsicmp(entry.szExeFile, exeName.c_str()) == 0)
            return entry.th32ProcessID;
    }
    return 0;
}

}  // namespace

DWORD WaitForChildProcess(DWORD parentPid, const std::wstring& exeName, DWORD timeoutMs) {
    vek::UniqueHandle parent(::OpenProcess(SYNCHRONIZE, FALSE, parentPid));
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (const DWORD child = ChildProcess(parentPid, exeName)) return child;
        if (!parent || ::GetTickCount64() >= deadline || ::WaitForSingleObject(parent.get(), 50) != WAIT_TIMEOUT)
            return ChildProcess(parentPid, exeName);
    }
}

DWORD WaitExit(HANDLE process, DWORD timeoutMs) {
    if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process, &code);
    return code;
}

}  // namespace vektest
