// The installer's command line: "/"-separated tokens of a key, a space and a

// value. Keys compare case-sensitively; a later key replaces an earlier one.
#pragma once

#include <windows.h>

#include <map>
#include <string>

class CCommandLine {
public:
    explicit CCommandLine(const std::wstring& commandLine);

    // Clears `value`, then fills it and returns true when `key` is present.
    bool GetValue(const std::wstring& key, std::wstring& value) const;
    bool HasKey(const std::wstring& key) const { return values_.count(key) != 0; }

private:
    std::wstring text_;
    std::map<std::wstring, std::wstring> values_;
};

// The listener window named by InstallListenWnd: the value's leading decimal
// number as wcstoul reads it; 0 when the key is missing or holds no number.
HWND ListenerWindowFrom(const CCommandLine& commandLine);
