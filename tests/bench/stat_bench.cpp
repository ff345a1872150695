// Statistics module timings, run from a folder that holds qorstat.dll and
// udp_qor.dll (tools/bench.sh sets it up):
//   vek_stat_bench latency <reports>   this program listens on the dispatch
//       port itself: time from ReportAction to the datagram's arrival
//   vek_stat_bench shutdown <host> <reports>   Shutdown right after queuing
//       the reports, with the given dispatch host
//   vek_stat_bench post <url>   one stat_http_post of the library beside it
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "stat/ruvostatmodule.h"
#include "utility/base/paths.h"
#include "utility/base/textconv.h"

namespace {

double NowUs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart * 1e6 / frequency.QuadPart;
}

int Latency(int reports) {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(8700);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof(at)) != 0) {
        std::printf("cannot listen on 127.0.0.1:8700\n");
        return 1;
    }
    DWORD timeout = 2000;
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    char buffer[2048];

    auto stat = RuvoStatModule::GetInstance();
    stat->Init(201, L"SOFTWARE\\TovikClean", L"127.0.0.1", L"");
    ::recv(s, buffer, sizeof(buffer), 0);  // the init record
    std::vector<double> us;
    int lost = 0;
    for (int i = 0; i < reports; ++i) {
        const double begin = NowUs();
        stat->ReportAction(25104, 0);
        if (::recv(s, buffer, sizeof(buffer), 0) <= 0) {
            ++lost;
            continue;
        }
        us.push_back(NowUs() - begin);
        ::Sleep(2);
    }
    const double first = us.empty() ? 0 : us.front();
    const double shutdownBegin = NowUs();
    stat->Shutdown();
    const double shutdownMs = (NowUs() - shutdownBegin) / 1000;
    std::sort(us.begin(), us.end());
    if (us.empty()) return 1;
    std::printf("ReportAction to arrival over %zu reports: median %.0f us, p90 %.0f us, max %.0f us (the first "
                "%.0f us), lost %d; Shutdown with the server up %.1f ms\n",
                us.size(), us[us.size() / 2], us[us.size() * 9 / 10], us.back(), first, lost, shutdownMs);
    ::closesocket(s);
    return 0;
}

int Shutdown(const wchar_t* host, int reports) {
    auto stat = RuvoStatModule::GetInstance();
    stat->Init(201, L"SOFTWARE\\TovikClean", host, L"");
    for (int i = 0; i < reports; ++i) stat->ReportAction(25104, 0);
    const double begin = NowUs();
    stat->Shutdown();
    std::printf("Shutdown with dispatch host %ls after %d reports: %.1f ms\n", host, reports, (NowUs() - begin) / 1000);
    return 0;
}

int Post(const wchar_t* url) {
    vek::UniqueModule lib(::LoadLibraryW((vek::ModuleFolder(nullptr) + L"qorstat.dll").c_str()));
    auto post = reinterpret_cast<decltype(&::stat_http_post)>(::GetProcAddress(lib.get(), "stat_http_post"));
    if (!post) return 1;
    const std::string narrow = vek::WideToUtf8(url);
    const double begin = NowUs();
    const int result = post(narrow.c_str(), nullptr, 0, TRUE);
    std::printf("stat_http_post %s: %d after %.1f ms\n", narrow.c_str(), result, (NowUs() - begin) / 1000);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"latency" && argc > 2) return Latency(_wtoi(argv[2]));
    if (mode == L"shutdown" && argc > 3) return Shutdown(argv[2], _wtoi(argv[3]));
    if (mode == L"post" && argc > 2) return Post(argv[2]);
    std::printf("usage: vek_stat_bench latency <n> | shutdown <host> <n> | post <url>\n");
    return 2;
}
