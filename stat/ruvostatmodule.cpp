#include "stat/ruvostatmodule.h"

#include <shlobj.h>

#include <array>
#include <cstdio>
#include <memory>

#include "utility/base/dllsearch.h"
#include "utility/base/paths.h"
#include "utility/base/textconv.h"
#include "utility/base/versioninfo.h"

namespace {

constexpr wchar_t kLibraryName[] = L"qorstat.dll";
constexpr int32_t kDefaultUnionId = 4003;
constexpr int32_t kLowestUnionId = 100;
constexpr int kDispatchPort = 8700;
constexpr int kCloseWaitMs = 200;

// The user's local application data, else the roaming one, else the
// temporary folder.
std::wstring CacheBaseFolder() {
    wchar_t path[MAX_PATH] = {};
    for (int csidl : {CSIDL_LOCAL_APPDATA, CSIDL_APPDATA}) {
        if (SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0]) {
            return path;
        }
    }
    ::GetTempPathW(MAX_PATH, path);
    return path;
}

}  // namespace

// The members, the library among them, go before the pool's own destructor
// runs: the worker is stopped first, so that no report is inside the
// library when it is unloaded.
RuvoStatModule::~RuvoStatModule() { Stop(); }

bool RuvoStatModule::Init(int32_t appId, const std::wstring& productKey, const std::wstring& dispatchHost,
                          const std::wstring& cacheFileName) {
    appId_ = appId;
    productKey_ = productKey;
    dispatchHost_ = dispatchHost;
    Start();
    if (!LoadLibrary()) {
        // Reports still go to the cache file without the library.
        PrepareCacheFile(cacheFileName);
        return false;
    }
    LookUpEntries();

    const int32_t unionId = ReadUnionId();
    if (stat_appid_) stat_appid_(appId_ & 0xFF);
    if (stat_unionid_) stat_unionid_(unionId);
    std::array<uint16_t, 4> version{1, 0, 0, 1};
    vek::ReadProductVersion(vek::ModuleFilePath(nullptr), version);
    if (stat_version_ex_) stat_version_ex_(version[0], version[1], version[2], version[3]);
    if (stat_dispatch_addr_) stat_dispatch_addr_(vek::WideToThreadAnsi(dispatchHost_).c_str(), kDispatchPort);
    PrepareCacheFile(cacheFileName);
    return stat_init_ ? stat_init_() != FALSE : false;
}

// The task holds the module by pointer: the destructor stops the pool before
// anything goes, so a task never outlives it. Holding a reference instead
// could leave the last one to the worker, whose destructor call would then
// have to join its own thread.
bool RuvoStatModule::ReportAction(int32_t actionId, uint8_t flag) {
    AddTask([this, actionId, flag] { Report(actionId, flag); });
    return true;
}

void RuvoStatModule::Shutdown() {
    Stop();
    if (stat_offline_) stat_offline_();
    if (stat_close_) stat_close_(kCloseWaitMs);
    library_.reset();
    ResetEntries();
}

bool RuvoStatModule::LoadLibrary() {
    // Its own imports come from its folder and the system folder only.
    library_.reset(vek::LoadLibraryBeside(vek::ModuleFolder(nullptr) + kLibraryName));
    return library_.valid();
}

void RuvoStatModule::LookUpEntries() {
#define VEK_STAT_LOOKUP(name) \
    name##_ = reinterpret_cast<decltype(name##_)>(::GetProcAddress(library_.get(), #name));
    QORSTAT_EXPORTS(VEK_STAT_LOOKUP)
#undef VEK_STAT_LOOKUP
}

void RuvoStatModule::ResetEntries() {
#define VEK_STAT_RESET(name) name##_ = nullptr;
    QORSTAT_EXPORTS(VEK_STAT_RESET)
#undef VEK_STAT_RESET
}

int32_t RuvoStatModule::ReadUnionId() const {
    vek::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, productKey_.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return kDefaultUnionId;
    }
    int32_t value = 0;
    DWORD size = sizeof(value);
    if (::RegQueryValueExW(key.get(), L"UnionId", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof(value) || value < kLowestUnionId) {
        return kDefaultUnionId;
    }
    return value;
}

void RuvoStatModule::PrepareCacheFile(const std::wstring& cacheFileName) {
    if (cacheFileName.empty()) return;
    const std::wstring folder = vek::JoinPath(CacheBaseFolder(), L"RuvoDesktop\\data") + L"\\";
    if (!vek::IsFolder(folder)) ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    cacheFile_ = folder + cacheFileName;
}

// On the worker: one line per action in an existing cache file, then the
// library call.
void RuvoStatModule::Report(int32_t actionId, uint8_t flag) {
    if (!cacheFile_.empty() && vek::PathExists(cacheFile_)) {
        std::unique_ptr<FILE, int (*)(FILE*)> file(::_wfopen(cacheFile_.c_str(), L"ab"), &std::fclose);
        if (file) {
            std::fprintf(file.get(), "%ld,\n", static_cast<long>(actionId));
            std::fflush(file.get());
        }
    }
    if (stat_mutilaction_) stat_mutilaction_(&actionId, 1, flag);
}
