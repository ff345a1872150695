// Message boxes and dialogs of another process, answered without a human.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vektest {

struct DialogInfo {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;                  // the message text
    std::vector<std::wstring> buttons;  // button texts, in child order
};

// A top-level window of process `pid` (of `className` when given), or null.
HWND TopLevelWindowOf(DWORD pid, const wchar_t* className = nullptr);

// The first dialog (class "#32770") of process `pid`, waited for up to
// `timeoutMs` or until the process ends.
std::optional<DialogInfo> WaitForDialog(DWORD pid, DWORD timeoutMs);

// Calls `shown` once for every dialog that process `pid` shows, in the
// order they appear, until the process ends.
void WatchDialogs(DWORD pid, const std::function<void(const DialogInfo&)>& shown);

// Whether PressButton knows the command.
bool IsButtonCommand(const std::wstring& command);

// Presses the button named by its command: "OK", "Cancel", "Abort", "Retry",
// "Ignore", "Yes", "No". False when the dialog has no such button.
bool PressButton(const DialogInfo& dialog, const std::wstring& command);

// Dialogs of the program's own (not message boxes), driven by control id.
// Presses the button `id` (a posted WM_COMMAND, as a click sends it).
bool PressControl(HWND dialog, int id);
// Checks or clears the check box `id` (BM_SETCHECK).
bool SetCheck(HWND dialog, int id, bool checked);
// Replaces the text of the control `id` (WM_SETTEXT, carried across processes).
bool SetControlText(HWND dialog, int id, const std::wstring& text);
// The text of the control `id` (a static or button: its window text).
std::wstring ControlText(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);

// Waits for the dialog of `pid`, presses `command`, returns what it showed.
std::optional<DialogInfo> AnswerDialog(DWORD pid, const std::wstring& command, DWORD timeoutMs = 20000);

}  // namespace vektest
