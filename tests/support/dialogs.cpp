#include "dialogs.h"

#include <map>

#include "utility/base/handles.h"

namespace vektest {

namespace {

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return name;
}

struct Search {
    DWORD pid;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->pid && (!search->className || ClassOf(window) == search->className)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
    auto* info = reinterpret_cast<DialogInfo*>(param);
    const std::wstring cls = ClassOf(child);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        info->buttons.push_back(WindowText(child));
    } else if (_wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) != SS_ICON &&
               info->text.empty()) {
        info->text = WindowText(child);
    }
    return TRUE;
}

const std::map<std::wstring, int> kCommands = {
    {L"OK", IDOK},       {L"Cancel", IDCANCEL}, {L"Abort", IDABORT}, {L"Retry", IDRETRY},
    {L"Ignore", IDIGNORE}, {L"Yes", IDYES},     {L"No", IDNO},
};

}  // namespace

HWND TopLevelWindowOf(DWORD pid, const wchar_t* className) {
    Search search{pid, className, nullptr};
    ::EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::optional<DialogInfo> WaitForDialog(DWORD pid, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    vek::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    do {
        // A process that has ended shows nothing more.
        if (process && ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return std::nullopt;
        if (HWND found = TopLevelWindowOf(pid, L"#32770")) {
            ::Sleep(100);  // let the box finish filling in its controls
            DialogInfo info;
            info.window = found;
            info.caption = WindowText(found);
            ::EnumChildWindows(found, ReadChild, reinterpret_cast<LPARAM>(&info));
            return info;
        }
        ::Sleep(50);
    } while (::GetTickCount64() < deadline);
    return std::nullopt;
}

bool PressButton(const DialogInfo& dialog, const std::wstring& command) {
    const auto it = kCommands.find(command);
    if (it == kCommands.end()) return false;
    HWND button = ::GetDlgItem(dialog.window, it->second);
    if (!button) return false;
    return ::PostMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(it->second, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)) != FALSE;
}

std::optional<DialogInfo> AnswerDialog(DWORD pid, const std::wstring& command, DWORD timeoutMs) {
    auto dialog = WaitForDialog(pid, timeoutMs);
    if (dialog) PressButton(*dialog, command);
    return dialog;
}

}  // namespace vektest
