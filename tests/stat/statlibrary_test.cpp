// qorstat.dll and udp_qor.dll called directly, in the orders the install and
// uninstall scripts use, against the loopback server.
#include <gtest/gtest.h>

#include "stat/qorstatapi.h"
#include "tests/support/statserver.h"
#include "tests/support/luachecks.h"
#include "tests/support/testenv.h"
#include "utility/base/handles.h"

using namespace vektest;

namespace {

// The statistics library, with its sender unless told otherwise, copied
// into `dir`.
void CopyLibraries(const TempDir& dir, bool withSender = true) {
    EXPECT_TRUE(::CopyFileW(ProductPath(L"qorstat.dll").c_str(), (dir / L"qorstat.dll").c_str(), FALSE));
    if (withSender) {
        EXPECT_TRUE(::CopyFileW(ProductPath(L"udp_qor.dll").c_str(), (dir / L"udp_qor.dll").c_str(), FALSE));
    }
}

// A private copy of the libraries, so that every test starts from a fresh
// library state.
class QorStat {
public:
    explicit QorStat(bool withSender = true) {
        CopyLibraries(dir_, withSender);
        lib_.reset(::LoadLibraryW((dir_ / L"qorstat.dll").c_str()));
        EXPECT_TRUE(lib_.valid());
    }
    template <typename F>
    F* Fn(const char* name) {
        auto f = reinterpret_cast<F*>(::GetProcAddress(lib_.get(), name));
        EXPECT_NE(f, nullptr) << name;
        return f;
    }

private:
    TempDir dir_;
    vek::UniqueModule lib_;
};
#define QOR(lib, name) (lib).Fn<decltype(::name)>(#name)

std::string Url(int port, const std::string& path) { return "http://127.0.0.1:" + std::to_string(port) + path; }

std::vector<std::string> Payloads(const std::vector<StatRecord>& records) {
    std::vector<std::string> payloads;
    for (const StatRecord& r : records) payloads.push_back(r.payload);
    return payloads;
}

// The install script's report of figures 201, 13005, 2 and 1.0.12.46 (as
// the tests set them): init and install datagrams on the other UDP port, and
// the figures posted as a form to /api/InstallStat first of `posts` posts.
void ExpectInstallReport(const StatServer& server, const std::vector<StatRecord>& records, int kind, size_t posts) {
    const std::string figures = " app=201 union=13005 level=2 ver=1.0.12.46";
    EXPECT_EQ(Payloads(StatServer::On(records, server.Port("udp_other"))),
              (std::vector<std::string>{"QOR1 init" + figures, "QOR1 install" + figures + " kind=" + std::to_string(kind)}));
    const std::vector<StatRecord> received = StatServer::On(records, server.Port("http_ok"));
    ASSERT_EQ(received.size(), posts);
    EXPECT_EQ(received[0].path, "/api/InstallStat");
    EXPECT_EQ(received[0].contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(received[0].body, "appid=201&unionid=13005&version=1.0.12.46&level=2&kind=" + std::to_string(kind));
}

}  // namespace

TEST(StatLibrary, InstallReportInTheInstallScriptsOrder) {
    StatServer server;
    const int udp = server.Port("udp_other");
    const size_t mark = server.Mark();
    QorStat lib;
    QOR(lib, stat_unionid)(13005);
    QOR(lib, stat_appid)(201);
    QOR(lib, stat_level)(2);
    QOR(lib, stat_version_ex)(1, 0, 12, 46);
    QOR(lib, stat_install_addr)("127.0.0.1", udp);
    ASSERT_TRUE(QOR(lib, stat_init)());
    EXPECT_EQ(QOR(lib, stat_install)(1), 1);
    EXPECT_EQ(QOR(lib, stat_http_post)(Url(server.Port("http_ok"), "/api/InstallStat").c_str(), nullptr, 0, TRUE), 1);
    QOR(lib, stat_close)(50);

    ExpectInstallReport(server, server.WaitFor(mark, 3, 3000), 1, 1);
}

// The uninstall script starts the library before it sets the figures, and
// posts its own text.
TEST(StatLibrary, UninstallReportsInTheUninstallScriptsOrder) {
    StatServer server;
    const int udp = server.Port("udp_other");
    const size_t mark = server.Mark();
    QorStat lib;
    ASSERT_TRUE(QOR(lib, stat_init)());
    QOR(lib, stat_level)(2);
    QOR(lib, stat_unionid)(13000);
    QOR(lib, stat_appid)(201);
    QOR(lib, stat_install_addr)("localhost", udp);
    QOR(lib, stat_version_ex)(1, 0, 12, 46);
    EXPECT_EQ(QOR(lib, stat_install)(2), 1);
    const std::string reason = "太慢了 & too slow";
    EXPECT_EQ(QOR(lib, stat_http_post)(Url(server.Port("http_ok"), "/api/v1/feedback/add").c_str(), reason.c_str(),
                                       static_cast<int>(reason.size()), TRUE),
              1);
    QOR(lib, stat_close)(50);

    const std::vector<StatRecord> records = server.WaitFor(mark, 2, 3000);
    EXPECT_EQ(Payloads(StatServer::On(records, udp)),
              (std::vector<std::string>{"QOR1 install app=201 union=13000 level=2 ver=1.0.12.46 kind=2"}));
    const std::vector<StatRecord> posts = StatServer::On(records, server.Port("http_ok"));
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].body, reason);
}

// 1 exactly for a 2xx answer; every failure comes back within the bound.
TEST(StatLibrary, HttpPostResultAndTimeBound) {
    StatServer server;
    const struct {
        std::string url;
        int expected;
        DWORD atLeastMs, atMostMs;
    } cases[] = {
        {Url(server.Port("http_ok"), "/api/InstallStat"), 1, 0, 2000},
        {Url(server.Port("http_500"), "/api/InstallStat"), 0, 0, 2000},
        {Url(server.Port("http_closed"), "/x"), 0, 0, 2000},
        {Url(server.Port("http_silent"), "/x"), 0, 4500, 7000},  // never answers
        {"http://stat.invalid/api/InstallStat", 0, 0, 7000},
        {"https://127.0.0.1:" + std::to_string(server.Port("http_ok")) + "/x", 0, 0, 100},
        {Url(server.Port("http_ok"), "/a b"), 0, 0, 100},
        {Url(server.Port("http_ok"), "/x\r\nX-Injected: 1"), 0, 0, 100},
        {"http://user@127.0.0.1:" + std::to_string(server.Port("http_ok")) + "/x", 0, 0, 100},
    };
    QorStat lib;
    auto post = QOR(lib, stat_http_post);
    for (const auto& c : cases) {
        const ULONGLONG begin = ::GetTickCount64();
        EXPECT_EQ(post(c.url.c_str(), "a=1", 3, TRUE), c.expected) << c.url;
        const ULONGLONG spent = ::GetTickCount64() - begin;
        EXPECT_GE(spent, c.atLeastMs) << c.url;
        EXPECT_LE(spent, c.atMostMs) << c.url;
    }
}

// 1 only for a status line whose code is exactly three digits, 2xx, followed
// by a space or the end of the line.
TEST(StatLibrary, HttpPostSucceedsOnlyOnAThreeDigit2xxStatus) {
    StatServer server;
    const struct {
        const char* statusLine;
        int expected;
    } cases[] = {
        {"HTTP/1.1 200 OK", 1},       {"HTTP/1.1 204 No Content", 1}, {"HTTP/1.0 299 Fine", 1},
        {"HTTP/1.1 200", 1},          {"HTTP/1.1 2000 OK", 0},        {"HTTP/1.1 20 OK", 0},
        {"HTTP/1.1 20x OK", 0},       {"HTTP/1.1 200OK", 0},          {"HTTP/1.1 2000", 0},
        {"HTTP/1.1 199 Early", 0},    {"HTTP/1.1 300 Moved", 0},      {"HTTP/1.1 +20 OK", 0},
        {"HTTP/1.1  200 OK", 0},      {"ICY 200 OK", 0},
    };
    QorStat lib;
    auto post = QOR(lib, stat_http_post);
    for (const auto& c : cases) {
        std::string path = "/";
        for (const char* p = c.statusLine; *p; ++p) path += *p == ' ' ? std::string("%20") : std::string(1, *p);
        EXPECT_EQ(post(Url(server.Port("http_status"), path).c_str(), "a=1", 3, TRUE), c.expected) << c.statusLine;
    }
}

// Committed memory with no access right after it.
struct GuardedPagesTraits {
    static BYTE* Invalid() { return nullptr; }
    static void Close(BYTE* p) { ::VirtualFree(p, 0, MEM_RELEASE); }
};
using GuardedPages = vek::UniqueResource<BYTE*, GuardedPagesTraits>;

// The body is text: a length past its terminator is cut back to it, a
// shorter one is kept, a negative one means up to the terminator. A body
// that ends right before a page without access shows that nothing past the
// terminator is read.
TEST(StatLibrary, HttpPostBodyEndsAtItsTerminator) {
    StatServer server;
    GuardedPages pages(static_cast<BYTE*>(::VirtualAlloc(nullptr, 2 * 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)));
    ASSERT_TRUE(pages.valid());
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(pages.get() + 4096, 4096, PAGE_NOACCESS, &old));
    char* atPageEnd = reinterpret_cast<char*>(pages.get()) + 4096 - 4;
    memcpy(atPageEnd, "b=2", 4);
    static const char kStale[] = "a=1\0secret=2";
    const struct {
        const char* body;
        int length;
        std::string expected;
    } cases[] = {
        {"a=1", 3, "a=1"},
        {"a=1&b=2", 3, "a=1"},
        {kStale, sizeof(kStale) - 1, "a=1"},
        {"a=1", -1, "a=1"},
        {"", 0, ""},
        {atPageEnd, 1 << 20, "b=2"},
    };
    QorStat lib;
    auto post = QOR(lib, stat_http_post);
    const std::string url = Url(server.Port("http_ok"), "/api/v1/feedback/add");
    for (const auto& c : cases) {
        const size_t mark = server.Mark();
        EXPECT_EQ(post(url.c_str(), c.body, c.length, TRUE), 1) << c.expected;
        const std::vector<StatRecord> records = server.WaitFor(mark, 1, 3000);
        ASSERT_EQ(records.size(), 1u) << c.expected;
        EXPECT_EQ(records[0].body, c.expected);
    }
}

// A proxy gets the request in absolute form; the server's own name is not
// looked up.
TEST(StatLibrary, PostsThroughTheConfiguredProxy) {
    StatServer server;
    const size_t mark = server.Mark();
    QorStat lib;
    QOR(lib, stat_proxy)("127.0.0.1", server.Port("http_ok"));
    EXPECT_EQ(QOR(lib, stat_http_post)("http://stat.invalid:8080/api/InstallStat", "a=1", 3, TRUE), 1);
    const std::vector<StatRecord> records = server.WaitFor(mark, 1, 2000);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].path, "http://stat.invalid:8080/api/InstallStat");
}

// Without its sender the library cannot start, sends no datagram, and still
// posts.
TEST(StatLibrary, WithoutTheSenderInitFailsAndPostsStillWork) {
    StatServer server;
    QorStat lib(false);
    QOR(lib, stat_install_addr)("127.0.0.1", server.Port("udp_other"));
    EXPECT_FALSE(QOR(lib, stat_init)());
    EXPECT_EQ(QOR(lib, stat_install)(1), 0);
    EXPECT_EQ(QOR(lib, stat_http_post)(Url(server.Port("http_ok"), "/x").c_str(), nullptr, 0, TRUE), 1);
    QOR(lib, stat_close)(50);
}

// Close sends what is queued when the server is there, and gives up after
// its wait when the name never resolves.
TEST(StatLibrary, CloseWaitsForQueuedDatagramsWithinItsBound) {
    StatServer server;
    const int udp = server.Port("udp_other");
    {
        const size_t mark = server.Mark();
        QorStat lib;
        QOR(lib, stat_action_addr)("127.0.0.1", udp);
        ASSERT_TRUE(QOR(lib, stat_init)());
        for (int id = 0; id < 100; ++id) QOR(lib, stat_action)(id, 0);
        QOR(lib, stat_close)(200);
        EXPECT_EQ(StatServer::On(server.WaitFor(mark, 100, 3000), udp).size(), 100u);
    }
    {
        QorStat lib;
        QOR(lib, stat_dispatch_addr)("stat.invalid", 8700);
        ASSERT_TRUE(QOR(lib, stat_init)());
        const int ids[] = {25104, 25106};
        for (int i = 0; i < 100; ++i) QOR(lib, stat_mutilaction)(ids, 2, 0);
        const ULONGLONG begin = ::GetTickCount64();
        QOR(lib, stat_close)(200);
        EXPECT_LT(::GetTickCount64() - begin, 1000u);
    }
}

// The same library through the script engine's library calls, as the install
// script will make them: arguments, nil body, booleans and result types.
TEST(StatLibrary, ThroughTheScriptLibraryCalls) {
    StatServer server;
    TempDir dir;
    CopyLibraries(dir);
    const size_t mark = server.Mark();
    RunChecks(L"statlib.lua", "stat_path = " + LuaQuote(dir / L"qorstat.dll") +
                                  "\nudp_port = " + std::to_string(server.Port("udp_other")) +
                                  "\nok_url = '" + Url(server.Port("http_ok"), "/api/InstallStat") + "'" +
                                  "\nfail_url = '" + Url(server.Port("http_500"), "/api/InstallStat") + "'");
    const std::vector<StatRecord> records = server.WaitFor(mark, 5, 3000);
    ExpectInstallReport(server, records, 3, 2);
    const std::vector<StatRecord> posts = StatServer::On(records, server.Port("http_ok"));
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1].body, "卸载原因: too slow");
}
