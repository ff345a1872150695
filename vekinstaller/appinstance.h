#pragma once

#include <windows.h>

#include <string>

// The single-instance guard: true when another installer holds the mutex
// (or holds it where this process may not open it); that installer's window
// is then brought to the front. A mutex created here stays open until the
// process ends; it is not inherited by programs the installer starts.
bool CreateAppInstance(const std::wstring& baseName, long long appId);

// What CreateMutexW's result and last error say: true when the guard
// belongs to another installer.
bool HeldByAnotherInstance(bool created, DWORD error);

// Mutex name: "<base><id>" for a non-zero id, else the base name alone.
std::wstring InstanceMutexName(const std::wstring& baseName, long long appId);
