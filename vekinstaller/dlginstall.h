// The interactive installer's window: folder and options, the install with
// its progress, then the product's start. It drives the install stages
// (BeforeInstall and AfterComplete here, OnInstall and BeforeComplete on a
// worker) and talks to the install script only through globals, and only
// while no worker is inside an event.
#pragma once

#include <string>

#include "utility/vekui/core/controls.h"
#include "utility/vekui/win/windowimplbase.h"

// Posted by the worker when its stages are done; wParam is the completion
// number, lParam 0.
constexpr UINT UM_WORKER_DONE = 11032;

class CDlgInstall : public vekui::WindowImplBase {
public:
    CDlgInstall() = default;

    // Whether the install worker is still inside its stages.
    bool WorkerRunning() const { return workerRunning_; }

protected:
    const wchar_t* GetWindowClassName() const override { return L"CDlgInstall"; }
    std::wstring GetSkinFile() override { return L"Layout/Layout.xml"; }
    void OnLayoutReady() override;
    LRESULT HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnFinalMessage(HWND hwnd) override;
    void OnFramePresented(const vekui::Rect& dirty) override;

    VEKUI_BEGIN_NOTIFY_MAP(CDlgInstall)
    VEKUI_NOTIFY("click", "BtnClose", OnStartClick)
    VEKUI_NOTIFY("click", "BtnLicenceLink", OnLicenceLinkClick)
    VEKUI_NOTIFY("click", "BtnInstall", OnInstallClick)
    VEKUI_NOTIFY("click", "BtnSelectPath", OnSelectPathClick)
    VEKUI_NOTIFY("click", "BtnStart", OnStartClick)
    VEKUI_NOTIFY("selectchanged", "CheckLicence", OnLicenceChanged)
    VEKUI_NOTIFY("timer", "", OnControlTimer)
    VEKUI_END_NOTIFY_MAP()

    void OnStartClick(vekui::TNotifyUI& msg);
    void OnLicenceLinkClick(vekui::TNotifyUI& msg);
    void OnInstallClick(vekui::TNotifyUI& msg);
    void OnSelectPathClick(vekui::TNotifyUI& msg);
    void OnLicenceChanged(vekui::TNotifyUI& msg);
    void OnControlTimer(vekui::TNotifyUI& msg);
    void OnWorkerDone(WPARAM completionNumber);

    void StartInstall();
    void FinishInstall(int completionNumber);
    void UpdateProgressText();
    void ApplyStartOptions();
    void ShowCompletionNumber();

private:
    void FindControls();
    bool CheckInstallFolder(std::wstring* path);
    bool WriteChoices(const std::wstring& path);
    bool CheckBackupFolder();
    bool CheckFreeSpace(const std::wstring& path);
    void ReportChoices();
    void AdvanceBackground();
    void AdvanceProgress();
    void StartProduct();
    void Refuse(const wchar_t* text, const wchar_t* caption, UINT icon);

    template <class T> T* Find(const char* name) const;
    template <class T> T* FindIn(vekui::CContainerUI* container, const char* name) const;

    vekui::CTabLayoutUI* tabMain_ = nullptr;
    vekui::CVerticalLayoutUI* initView_ = nullptr;
    vekui::CVerticalLayoutUI* installView_ = nullptr;
    vekui::CVerticalLayoutUI* completeView_ = nullptr;
    vekui::CHorizontalLayoutUI* captionButtons_ = nullptr;
    vekui::CButtonUI* btnInstall_ = nullptr;
    vekui::CRichEditUI* editPath_ = nullptr;
    vekui::COptionUI* checkDesktop_ = nullptr;
    vekui::COptionUI* checkAutoStart_ = nullptr;
    vekui::COptionUI* checkLicence_ = nullptr;
    vekui::CProgressUI* progress_ = nullptr;
    vekui::CLabelUI* progressText_ = nullptr;
    vekui::CHorizontalLayoutUI* number_ = nullptr;
    vekui::CButtonUI* btnStart_ = nullptr;

    int completionNumber_ = 0;
    // The worker is inside its stages: the script state is its, and the
    // progress position waits here until the worker is done.
    bool workerRunning_ = false;
    bool closeWanted_ = false;
    bool finished_ = false;
    bool framePresented_ = false;
    const wchar_t* viewToPresent_ = nullptr;  // selected, not yet presented
};

// Whether the last component of `path` (after the last "\" or "/") is
// exactly `name`.
bool CheckDir(const std::wstring& path, const std::wstring& name);
// Creates every missing folder of `path`; true when it exists afterwards as
// the shell reports it (created, 80 or 183).
bool EnsureDirectory(const std::wstring& path);
// Raises `hwnd` above the current foreground window and activates it.
void BringWindowToFront(HWND hwnd);
// The install worker: OnInstall, BeforeComplete, then UM_WORKER_DONE to the
// window `param`.
DWORD WINAPI InstallWorker(LPVOID param);
