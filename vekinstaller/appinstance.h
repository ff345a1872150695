#pragma once

#include <windows.h>

#include <string>

// The single-instance guard (a guard mutex of utility/base): true when
// another installer holds the mutex (or holds it where this process may not
// open it); that installer's window is then brought to the front. A mutex
// created here stays open until the process ends.
bool CreateAppInstance(const std::wstring& baseName, long long appId);

// Mutex name: "<base><id>" for a non-zero id, else the base name alone.
std::wstring InstanceMutexName(const std::wstring& baseName, long long appId);
