// The exports of the statistics library qorstat.dll, in the Windows API
// calling convention. The library defines them from this header and the
// statistics module takes its pointer types from it, so a mismatch in
// arguments or convention does not compile.
#pragma once

#include <windows.h>

#define QORSTAT_API WINAPI

extern "C" {
BOOL QORSTAT_API stat_init(void);
void QORSTAT_API stat_proxy(const char* host, int port);
void QORSTAT_API stat_dispatch_addr(const char* host, int port);
void QORSTAT_API stat_online_addr(const char* host, int port);
void QORSTAT_API stat_action_addr(const char* host, int port);
void QORSTAT_API stat_install_addr(const char* host, int port);
void QORSTAT_API stat_loginout_addr(const char* host, int port);
void QORSTAT_API stat_unionid(int unionId);
void QORSTAT_API stat_appid(int appId);  // only the low 8 bits count
void QORSTAT_API stat_level(int level);
void QORSTAT_API stat_version(const char* version);  // "a.b.c.d"
void QORSTAT_API stat_version_ex(int major, int minor, int build, int revision);
void QORSTAT_API stat_online(void);
void QORSTAT_API stat_offline(void);
void QORSTAT_API stat_action(int actionId, unsigned char flag);
void QORSTAT_API stat_mutilaction(const int* actionIds, int count, unsigned char flag);
int QORSTAT_API stat_install(int kind);  // 1 install, 2 uninstall, 3 install over an earlier one
void QORSTAT_API stat_close(int waitMs);
int QORSTAT_API stat_app_install(const char* appName, int kind);
// 1 when the server answered 2xx (or, without `waitAnswer`, once the request
// was sent); a null body sends the stored figures as a form.
int QORSTAT_API stat_http_post(const char* url, const char* body, int length, BOOL waitAnswer);
}

// Every export, in the order the statistics module keeps them.
#define QORSTAT_EXPORTS(X)                                                                          \
    X(stat_init) X(stat_proxy) X(stat_dispatch_addr) X(stat_online_addr) X(stat_action_addr)        \
    X(stat_install_addr) X(stat_loginout_addr) X(stat_unionid) X(stat_appid) X(stat_level)          \
    X(stat_version) X(stat_version_ex) X(stat_online) X(stat_offline) X(stat_action)                \
    X(stat_mutilaction) X(stat_install) X(stat_close) X(stat_app_install) X(stat_http_post)
