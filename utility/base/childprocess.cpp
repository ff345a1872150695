#include "childprocess.h"

#include <utility>

#include "utility/base/handles.h"

namespace vek {

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');  // the closing quote follows
    return quoted + L"\"";
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments) {
    std::wstring joined;
    for (const std::wstring& argument : arguments) {
        if (!joined.empty()) joined += L' ';
        joined += QuoteArgument(argument);
    }
    return joined;
}

Status StartChild(const std::wstring& program, std::wstring commandLine, const std::wstring& folder,
                  const STARTUPINFOW& startup, UniqueHandle* process) {
    STARTUPINFOW info = startup;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &info, &started)) {
        return Status::LastError();
    }
    UniqueHandle child(started.hProcess), thread(started.hThread);
    if (process) *process = std::move(child);
    return Status::Success();
}

ChildEnd RunToEnd(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
                  DWORD waitMs) {
    std::wstring commandLine = QuoteArgument(program);
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW own = {};
    own.cb = sizeof own;
    ::GetStartupInfoW(&own);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = own.dwFlags & STARTF_USESHOWWINDOW;
    startup.wShowWindow = own.wShowWindow;
    ChildEnd end;
    UniqueHandle process;
    end.started = StartChild(program, commandLine, folder, startup, &process);
    if (!end.started) return end;
    end.ended = ::WaitForSingleObject(process.get(), waitMs) == WAIT_OBJECT_0;
    if (end.ended) ::GetExitCodeProcess(process.get(), &end.exitCode);
    return end;
}

}  // namespace vek
