// A stand-in for qorstat.dll that records every call, with its arguments,
// as a line of the file that VEK_STAT_RECORD names (nothing without it).
// Shows what the installer itself asks of the library, and in which order.
// With VEK_STAT_SLOW_CALL_MS set, stat_mutilaction stands for a slow call:
// it signals the event named after the process that it has begun, takes
// that long, and the library's unloading is recorded too, with whether a
// call was still inside it.
#include "stat/qorstatapi.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "utility/base/handles.h"

#define RECORDER_EXPORT extern "C" __declspec(dllexport)

namespace {

void Record(const std::string& line) {
    wchar_t path[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(L"VEK_STAT_RECORD", path, MAX_PATH)) return;
    std::unique_ptr<FILE, int (*)(FILE*)> file(::_wfopen(path, L"ab"), &std::fclose);
    if (file) std::fprintf(file.get(), "%s\n", line.c_str());
}

DWORD SlowCallMs() {
    wchar_t value[16] = {};
    return ::GetEnvironmentVariableW(L"VEK_STAT_SLOW_CALL_MS", value, 16) ? static_cast<DWORD>(_wtoi(value)) : 0;
}

std::atomic<int> g_callsInside{0};

void SlowCall() {
    const DWORD ms = SlowCallMs();
    if (!ms) return;
    const std::wstring name = L"Local\\VekStatRecorderInCall-" + std::to_wstring(::GetCurrentProcessId());
    vek::UniqueHandle begun(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ::SetEvent(begun.get());
    ::Sleep(ms);  // the call's own duration, not a wait for anything
}

std::string Text(const char* text) { return text ? text : "(null)"; }
std::string N(long long n) { return " " + std::to_string(n); }

}  // namespace

RECORDER_EXPORT BOOL WINAPI stat_init(void) {
    Record("stat_init");
    return TRUE;
}
RECORDER_EXPORT void WINAPI stat_proxy(const char* h, int p) { Record("stat_proxy " + Text(h) + N(p)); }
RECORDER_EXPORT void WINAPI stat_dispatch_addr(const char* h, int p) { Record("stat_dispatch_addr " + Text(h) + N(p)); }
RECORDER_EXPORT void WINAPI stat_online_addr(const char* h, int p) { Record("stat_online_addr " + Text(h) + N(p)); }
RECORDER_EXPORT void WINAPI stat_action_addr(const char* h, int p) { Record("stat_action_addr " + Text(h) + N(p)); }
RECORDER_EXPORT void WINAPI stat_install_addr(const char* h, int p) { Record("stat_install_addr " + Text(h) + N(p)); }
RECORDER_EXPORT void WINAPI stat_loginout_addr(const char* h, int p) { Record("stat_loginout_addr " + Text(h) + N(p)); }
RECORDER_EXPORT void WINAPI stat_unionid(int id) { Record("stat_unionid" + N(id)); }
RECORDER_EXPORT void WINAPI stat_appid(int id) { Record("stat_appid" + N(id)); }
RECORDER_EXPORT void WINAPI stat_level(int level) { Record("stat_level" + N(level)); }
RECORDER_EXPORT void WINAPI stat_version(const char* v) { Record("stat_version " + Text(v)); }
RECORDER_EXPORT void WINAPI stat_version_ex(int a, int b, int c, int d) {
    Record("stat_version_ex" + N(a) + N(b) + N(c) + N(d));
}
RECORDER_EXPORT void WINAPI stat_online(void) { Record("stat_online"); }
RECORDER_EXPORT void WINAPI stat_offline(void) { Record("stat_offline"); }
RECORDER_EXPORT void WINAPI stat_action(int id, unsigned char flag) { Record("stat_action" + N(id) + N(flag)); }
RECORDER_EXPORT void WINAPI stat_mutilaction(const int* ids, int count, unsigned char flag) {
    std::string line = "stat_mutilaction";
    for (int i = 0; i < count; ++i) line += N(ids[i]);
    ++g_callsInside;
    Record(line + " count" + N(count) + " flag" + N(flag));
    SlowCall();
    --g_callsInside;
}
RECORDER_EXPORT int WINAPI stat_install(int kind) {
    Record("stat_install" + N(kind));
    return 1;
}
RECORDER_EXPORT void WINAPI stat_close(int ms) { Record("stat_close" + N(ms)); }
RECORDER_EXPORT int WINAPI stat_app_install(const char* name, int kind) {
    Record("stat_app_install " + Text(name) + N(kind));
    return 1;
}
RECORDER_EXPORT int WINAPI stat_http_post(const char* url, const char* body, int length, BOOL wait) {
    Record("stat_http_post " + Text(url) + " " + Text(body) + N(length) + N(wait));
    return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH && SlowCallMs()) Record(g_callsInside ? "unloaded during a call" : "unloaded");
    return TRUE;
}
