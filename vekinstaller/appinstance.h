#pragma once

#include <windows.h>

#include <string>

// The single-instance guard. Returns the mutex handle only when another
// installer already holds the mutex; that installer's window is then brought
// to the front. A mutex created here stays open until the process ends.
HANDLE CreateAppInstance(const std::wstring& baseName, long long appId);

// Mutex name: "<base><id>" for a non-zero id, else the base name alone.
std::wstring InstanceMutexName(const std::wstring& baseName, long long appId);
