#include "dialogs.h"

#include <algorithm>
#include <map>
#include <set>

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

// No event tells of another process's new window: dialogs are polled for.
constexpr DWORD kPollMs = 50;

struct Search {
    DWORD pid;
    const wchar_t* className;
    const std::set<HWND>* skipped;  // for dialogs: only shown ones not in here
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->pid || (search->className && ClassOf(window) != search->className)) return TRUE;
    if (search->skipped && (!::IsWindowVisible(window) || search->skipped->count(window))) return TRUE;
    search->found = window;
    return FALSE;
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

// A dialog of `pid` that is shown and not in `known`. A dialog is shown
// only once WM_INITDIALOG has filled in its controls (a message box removes
// its unused buttons there).
HWND ShownDialog(DWORD pid, const std::set<HWND>& known) {
    Search search{pid, L"#32770", &known, nullptr};
    ::EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

DialogInfo ReadDialog(HWND window) {
    DialogInfo info;
    info.window = window;
    info.caption = WindowText(window);
    ::EnumChildWindows(window, ReadChild, reinterpret_cast<LPARAM>(&info));
    return info;
}

// Waits up to `ms` for the end of the process; true when it has ended (or
// cannot be waited for).
bool Ended(HANDLE process, DWORD ms) { return ::WaitForSingleObject(process, ms) != WAIT_TIMEOUT; }

}  // namespace

HWND TopLevelWindowOf(DWORD pid, const wchar_t* className) {
    Search search{pid, className, nullptr, nullptr};
    ::EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::optional<DialogInfo> WaitForDialog(DWORD pid, DWORD timeoutMs) {
    vek::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return std::nullopt;  // gone already
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND found = ShownDialog(pid, {})) return ReadDialog(found);
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline || Ended(process.get(), static_cast<DWORD>(std::min<ULONGLONG>(kPollMs, deadline - now))))
            return std::nullopt;
    }
}

void WatchDialogs(DWORD pid, const std::function<void(const DialogInfo&)>& shown) {
    vek::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    // A pressed dialog stays a while until it has handled the press: each
    // one is handed out once.
    std::set<HWND> known;
    while (process) {
        if (HWND found = ShownDialog(pid, known)) {
            known.insert(found);
            shown(ReadDialog(found));
        } else if (Ended(process.get(), kPollMs)) {
            return;
        }
    }
}

bool IsButtonCommand(const std::wstring& command) { return kCommands.count(command) != 0; }

bool PressButton(const DialogInfo& dialog, const std::wstring& command) {
    const auto it = kCommands.find(command);
    if (it == kCommands.end()) return false;
    HWND button = ::GetDlgItem(dialog.window, it->second);
    if (!button) return false;
    return ::PostMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(it->second, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)) != FALSE;
}

bool PressControl(HWND dialog, int id) {
    HWND control = ::GetDlgItem(dialog, id);
    return control && ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(control)) != FALSE;
}

namespace {

// A message to a control of another process, bounded: a hung program must
// fail the test, not hang it.
bool SendToControl(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND control = ::GetDlgItem(dialog, id);
    DWORD_PTR result = 0;
    return control && ::SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result) != 0;
}

}  // namespace

bool SetCheck(HWND dialog, int id, bool checked) {
    return SendToControl(dialog, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool SetControlText(HWND dialog, int id, const std::wstring& text) {
    return SendToControl(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring ControlText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

bool ControlVisible(HWND dialog, int id) { return ::IsWindowVisible(::GetDlgItem(dialog, id)) != FALSE; }

std::optional<DialogInfo> AnswerDialog(DWORD pid, const std::wstring& command, DWORD timeoutMs) {
    auto dialog = WaitForDialog(pid, timeoutMs);
    if (dialog) PressButton(*dialog, command);
    return dialog;
}

}  // namespace vektest
