// The five install stages. Each fires one script event under the script
// engine's lock, so no two events ever run in the script state at the same
// time.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class CInstallMgr {
public:
    static CInstallMgr& GetInstance();

    void BeforeInit();
    void BeforeInstall();
    void OnInstall();  // ends the product's tool processes first
    void BeforeComplete();
    void AfterComplete();

    virtual ~CInstallMgr() = default;

private:
    CInstallMgr() = default;
    void FireEvent(const char* eventName, bool killTools = false);
    void KillAllToolProcess();
};

// Ends every running process whose image name equals one of `names`,
// ignoring case, with exit code 10000.
void KillProcessesByName(const std::vector<std::wstring>& names);
