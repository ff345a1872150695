// qorstat.dll, the product's statistics library. Figures and server
// addresses are kept here; datagrams leave through udp_qor.dll's sender
// thread, HTTP reports are posted on the caller's thread with a time bound.
// Nothing is sent anywhere but the servers the caller configured.
#include "stat/qorstatapi.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "product/qorstat/httppost.h"
#include "product/qorstat/socket.h"
#include "product/udp_qor/udp_qor.h"
#include "utility/base/paths.h"

#define QORSTAT_EXPORT extern "C" __declspec(dllexport)

namespace {

constexpr DWORD kHttpBudgetMs = 5000;
constexpr size_t kLongestText = 200;

struct Address {
    std::string host;
    int port = 0;
    bool IsSet() const { return !host.empty() && port > 0 && port <= 65535; }
};

// udp_qor.dll, loaded from this library's own folder by stat_init.
struct Sender {
    vek::UniqueModule module;
    decltype(&udp_qor_start) start = nullptr;
    decltype(&udp_qor_send) send = nullptr;
    decltype(&udp_qor_stop) stop = nullptr;
};

struct Library {
    std::mutex lock;
    int appId = 0;
    int unionId = 0;
    int level = 0;
    std::string version = "0.0.0.0";
    int lastKind = 0;
    Address dispatch, online, action, install, loginout, proxy;
    Sender sender;
    bool started = false;
};

Library& State() {
    static Library library;
    return library;
}

// Text from callers goes into a one-line record: no spaces, no control
// characters, bounded length.
std::string Token(const char* text) {
    std::string token;
    for (const char* p = text ? text : ""; *p && token.size() < kLongestText; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        token += (c <= 0x20 || c == 0x7f) ? '_' : static_cast<char>(c);
    }
    return token;
}

const Address& Either(const Address& preferred, const Address& fallback) {
    return preferred.IsSet() ? preferred : fallback;
}

// One datagram: "QOR1 <event> app=<id> union=<id> level=<n> ver=<a.b.c.d>"
// followed by the event's own fields.
bool SendRecord(Library& state, const Address& to, const std::string& event, const std::string& fields) {
    if (!state.started || !to.IsSet()) return false;
    std::string record = "QOR1 " + event + " app=" + std::to_string(state.appId) +
                         " union=" + std::to_string(state.unionId) + " level=" + std::to_string(state.level) +
                         " ver=" + state.version + fields;
    return state.sender.send(to.host.c_str(), to.port, record.data(), static_cast<int>(record.size())) != FALSE;
}

void SetAddress(Address Library::*which, const char* host, int port) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    Address& address = state.*which;
    address.host = Token(host);
    address.port = port;
    // Resolved ahead, so that the first report does not wait for the name.
    if (state.started && address.IsSet()) state.sender.send(address.host.c_str(), address.port, nullptr, 0);
}

bool LoadSender(Sender& sender) {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&stat_init), &self);
    const std::wstring folder = vek::ModuleFolder(self);
    if (folder.empty()) return false;
    sender.module.reset(::LoadLibraryW((folder + L"udp_qor.dll").c_str()));
    if (!sender.module) return false;
    sender.start = reinterpret_cast<decltype(sender.start)>(::GetProcAddress(sender.module.get(), "udp_qor_start"));
    sender.send = reinterpret_cast<decltype(sender.send)>(::GetProcAddress(sender.module.get(), "udp_qor_send"));
    sender.stop = reinterpret_cast<decltype(sender.stop)>(::GetProcAddress(sender.module.get(), "udp_qor_stop"));
    if (sender.start && sender.send && sender.stop && sender.start()) return true;
    sender = Sender{};
    return false;
}

std::string PercentEncoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// The body is text: a length that runs past its terminator is cut back to
// it, so nothing beyond the caller's text is read; a negative one means up
// to the terminator.
std::string BodyText(const char* body, int length) {
    return std::string(body, length >= 0 ? strnlen(body, static_cast<size_t>(length)) : strlen(body));
}

// The report sent for a null body.
std::string FiguresForm(const Library& state) {
    return "appid=" + std::to_string(state.appId) + "&unionid=" + std::to_string(state.unionId) +
           "&version=" + PercentEncoded(state.version) + "&level=" + std::to_string(state.level) +
           "&kind=" + std::to_string(state.lastKind);
}

}  // namespace

QORSTAT_EXPORT BOOL WINAPI stat_init(void) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    if (state.started) return TRUE;
    if (!LoadSender(state.sender)) return FALSE;
    state.started = true;
    for (const Address* a : {&state.dispatch, &state.online, &state.action, &state.install, &state.loginout}) {
        if (a->IsSet()) state.sender.send(a->host.c_str(), a->port, nullptr, 0);
    }
    SendRecord(state, Either(state.dispatch, state.install), "init", "");
    return TRUE;
}

QORSTAT_EXPORT void WINAPI stat_proxy(const char* host, int port) { SetAddress(&Library::proxy, host, port); }
QORSTAT_EXPORT void WINAPI stat_dispatch_addr(const char* host, int port) { SetAddress(&Library::dispatch, host, port); }
QORSTAT_EXPORT void WINAPI stat_online_addr(const char* host, int port) { SetAddress(&Library::online, host, port); }
QORSTAT_EXPORT void WINAPI stat_action_addr(const char* host, int port) { SetAddress(&Library::action, host, port); }
QORSTAT_EXPORT void WINAPI stat_install_addr(const char* host, int port) { SetAddress(&Library::install, host, port); }
QORSTAT_EXPORT void WINAPI stat_loginout_addr(const char* host, int port) { SetAddress(&Library::loginout, host, port); }

QORSTAT_EXPORT void WINAPI stat_unionid(int unionId) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().unionId = unionId;
}

QORSTAT_EXPORT void WINAPI stat_appid(int appId) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().appId = appId & 0xFF;
}

QORSTAT_EXPORT void WINAPI stat_level(int level) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().level = level;
}

QORSTAT_EXPORT void WINAPI stat_version(const char* version) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().version = Token(version);
}

QORSTAT_EXPORT void WINAPI stat_version_ex(int major, int minor, int build, int revision) {
    std::lock_guard<std::mutex> lock(State().lock);
    State().version = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build) + "." +
                      std::to_string(revision);
}

QORSTAT_EXPORT void WINAPI stat_online(void) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    SendRecord(state, Either(state.online, state.dispatch), "online", "");
}

QORSTAT_EXPORT void WINAPI stat_offline(void) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    SendRecord(state, Either(state.loginout, state.dispatch), "offline", "");
}

QORSTAT_EXPORT void WINAPI stat_mutilaction(const int* actionIds, int count, unsigned char flag) {
    if (!actionIds || count <= 0 || count > 64) return;
    std::string ids;
    for (int i = 0; i < count; ++i) ids += (i ? "," : "") + std::to_string(actionIds[i]);
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    SendRecord(state, Either(state.action, state.dispatch), "action", " ids=" + ids + " flag=" + std::to_string(flag));
}

QORSTAT_EXPORT void WINAPI stat_action(int actionId, unsigned char flag) { stat_mutilaction(&actionId, 1, flag); }

QORSTAT_EXPORT int WINAPI stat_install(int kind) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    state.lastKind = kind;
    return SendRecord(state, Either(state.install, state.dispatch), "install", " kind=" + std::to_string(kind)) ? 1 : 0;
}

QORSTAT_EXPORT int WINAPI stat_app_install(const char* appName, int kind) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    return SendRecord(state, Either(state.install, state.dispatch), "app_install",
                      " name=" + Token(appName) + " kind=" + std::to_string(kind))
               ? 1
               : 0;
}

// Waits at most `waitMs` for queued datagrams, then stops the sender.
QORSTAT_EXPORT void WINAPI stat_close(int waitMs) {
    Library& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    if (!state.started) return;
    state.sender.stop(waitMs);
    state.sender = Sender{};
    state.started = false;
}

QORSTAT_EXPORT int WINAPI stat_http_post(const char* url, const char* body, int length, BOOL waitAnswer) {
    qor::HttpTarget target;
    if (!url || !qor::ParseHttpUrl(url, target.url)) return 0;
    std::string content;
    {
        Library& state = State();
        std::lock_guard<std::mutex> lock(state.lock);
        if (state.proxy.IsSet()) {
            target.proxyHost = state.proxy.host;
            target.proxyPort = state.proxy.port;
        }
        if (!body) {
            content = FiguresForm(state);
        } else {
            content = BodyText(body, length);
        }
    }
    const int status = qor::HttpPost(target, content, waitAnswer != FALSE, kHttpBudgetMs);
    return (status >= 200 && status < 300) || (status == 0 && !waitAnswer) ? 1 : 0;
}
