// The installer's own statistics reporter: loads qorstat.dll from the
// installer's folder, hands it the product's figures, and reports numbered
// user actions from its single worker so that the window never waits.
#pragma once

#include <cstdint>
#include <string>

#include "stat/csinglet.h"
#include "stat/qorstatapi.h"
#include "stat/threadpool.h"
#include "utility/base/handles.h"

class RuvoStatModule : public CSingleT<RuvoStatModule>, public ThreadPoolImpl {
public:
    ~RuvoStatModule() override;

    // Returns what stat_init returns; false when the library cannot be loaded.
    bool Init(int32_t appId, const std::wstring& productKey, const std::wstring& dispatchHost,
              const std::wstring& cacheFileName);
    bool ReportAction(int32_t actionId, uint8_t flag);
    void Shutdown();

private:
    friend class CSingleT<RuvoStatModule>;
    RuvoStatModule() = default;

    bool LoadLibrary();
    void LookUpEntries();
    void ResetEntries();
    int32_t ReadUnionId() const;
    void PrepareCacheFile(const std::wstring& cacheFileName);
    void Report(int32_t actionId, uint8_t flag);

#define VEK_STAT_ENTRY(name) decltype(&::name) name##_ = nullptr;
    QORSTAT_EXPORTS(VEK_STAT_ENTRY)
#undef VEK_STAT_ENTRY
    vek::UniqueModule library_;
    int32_t appId_ = 0;
    std::wstring productKey_;
    std::wstring dispatchHost_;
    std::wstring cacheFile_;
};
