#include "dlginstall.h"

#include <cstdio>
#include <cwchar>
#include <typeinfo>

#include "stat/ruvostatmodule.h"
#include "utility/base/diskspace.h"
#include "utility/base/folderdialog.h"
#include "utility/base/paths.h"
#include "utility/base/resources.h"
#include "utility/base/shell.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "utility/vekui/win/skinstore.h"
#include "vekinstaller/globals.h"
#include "vekinstaller/installglobals.h"
#include "vekinstaller/installmgr.h"

using vek::Trace;
using namespace vekui;

namespace {

constexpr UINT kIconGroup = 128;
constexpr uintptr_t TIMER_INSTALL_BK = 1989;
constexpr uintptr_t TIMER_PROGRESS = 1990;
constexpr unsigned kProgressElapseMs = 300;
constexpr int kProgressStep = 2;
constexpr lua_Integer kSearchServerAppId = 201;
constexpr int kBackgroundImages = 3;
constexpr double kElapsePerByte = 0.000309651279221807;
constexpr Color kNumberColor = 0xFF1FC880;

VekScriptEngine& Engine() { return VekScriptEngine::GetInstance(); }

TextGlobal NamedText(const std::string& name) { return TextGlobal{name.c_str()}; }

bool HasDriveLetter(const std::wstring& path) {
    return path.size() >= 2 && iswalpha(path[0]) && path[1] == L':';
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& what, const std::wstring& with) {
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

unsigned long long PayloadSize() {
    std::string_view bytes;
    const HMODULE self = vekui::GetResourceInstance();
    if (vek::FindResourceBytes(self, L"APP.7Z", L"_7Z", &bytes) != vek::ResourceResult::Ok) return 0;
    return bytes.size();
}

}  // namespace

template <class T> T* CDlgInstall::Find(const char* name) const {
    CControlUI* control = const_cast<CDlgInstall*>(this)->Manager().FindControl(name);
    return control && typeid(*control) == typeid(T) ? static_cast<T*>(control) : nullptr;
}

template <class T> T* CDlgInstall::FindIn(CContainerUI* container, const char* name) const {
    CControlUI* control = container ? container->FindSubControl(name) : nullptr;
    return control && typeid(*control) == typeid(T) ? static_cast<T*>(control) : nullptr;
}

void CDlgInstall::FindControls() {
    tabMain_ = Find<CTabLayoutUI>("TabMain");
    initView_ = Find<CVerticalLayoutUI>("VertInitView");
    installView_ = Find<CVerticalLayoutUI>("VertInstallView");
    completeView_ = Find<CVerticalLayoutUI>("VertCompleteView");
    captionButtons_ = Find<CHorizontalLayoutUI>("HorizCaptionBtn");
    btnInstall_ = FindIn<CButtonUI>(initView_, "BtnInstall");
    editPath_ = FindIn<CRichEditUI>(initView_, "EditInstallPath");
    checkDesktop_ = FindIn<COptionUI>(initView_, "CheckDesktopLaunch");
    checkAutoStart_ = FindIn<COptionUI>(initView_, "CheckAutoStartup");
    checkLicence_ = FindIn<COptionUI>(initView_, "CheckLicence");
    progress_ = FindIn<CProgressUI>(installView_, "ProgressInstall");
    progressText_ = FindIn<CLabelUI>(installView_, "LabelInstallValue");
    number_ = FindIn<CHorizontalLayoutUI>(completeView_, "HorizNumber");
    btnStart_ = FindIn<CButtonUI>(completeView_, "BtnStart");
}

void CDlgInstall::OnLayoutReady() {
    SetIcon(kIconGroup);
    ::SetWindowTextW(GetHWND(), (Engine().Get(globals::kProductName) + L"安装").c_str());
    FindControls();
    if (Engine().Get(globals::kAppId) != kSearchServerAppId) {
        if (auto* search = FindIn<COptionUI>(initView_, "InstallSearchServer")) search->SetVisible(false);
    }
    // The framework has already sized the window for its monitor's DPI.
    ApplyStartOptions();
    CenterWindow();
    Trace(L"view init");
    viewToPresent_ = L"init";
}

void CDlgInstall::ApplyStartOptions() {
    if (!initView_) return;
    if (checkAutoStart_) {
        checkAutoStart_->SetVisible(Engine().Get(globals::kStartupCheckVisible));
        checkAutoStart_->Selected(Engine().Get(globals::kStartupCheck), true);
    }
    if (!editPath_) return;
    const std::wstring text = editPath_->GetText();
    Trace(L"%s", text.c_str());
    const size_t open = text.find(L'$');
    const size_t close = open == std::wstring::npos ? open : text.find(L'$', open + 1);
    if (close == std::wstring::npos) return;
    const std::wstring name = text.substr(open + 1, close - open - 1);
    const std::wstring value = Engine().Get(NamedText(vek::WideToUtf8(name)));
    if (value.empty()) return;
    const std::wstring result = ReplaceAll(text, L"$" + name + L"$", value);
    editPath_->SetText(result);
    Trace(L"-----------------------------");
    Trace(L"%s", result.c_str());
    Trace(L"-----------------------------");
}

void CDlgInstall::OnLicenceChanged(TNotifyUI&) {
    if (!checkLicence_ || !btnInstall_) return;
    btnInstall_->SetEnabled(checkLicence_->IsSelected());
    Trace(L"install button %s", btnInstall_->IsEnabled() ? L"enabled" : L"disabled");
}

void CDlgInstall::OnLicenceLinkClick(TNotifyUI&) {
    vek::ShellOpenNormal(Engine().Get(globals::kLicenceUrl), L"");
}

void CDlgInstall::OnSelectPathClick(TNotifyUI&) {
    if (!editPath_) return;
    std::wstring start = editPath_->GetText();
    if (start.empty()) start = L"$global_install_path$";
    if (!vek::PathExists(start)) start = vek::ParentFolder(start);
    if (start.empty() || !vek::PathExists(start)) start = vek::ProgramFilesFolder();
    Trace(L"%s", start.c_str());
    std::wstring path;
    if (vek::PickFolder(GetHWND(), start, &path) != vek::FolderPick::Picked) {
        Trace(L"folder not picked, path %s", editPath_->GetText().c_str());
        return;
    }
    const std::wstring base = Engine().Get(globals::kInstallBasePath);
    if (!CheckDir(path, base)) {
        if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'\\';
        path += base;
    }
    editPath_->SetText(path);
    Trace(L"folder picked, path %s", path.c_str());
}

void CDlgInstall::Refuse(const wchar_t* text, const wchar_t* caption, UINT icon) {
    ::MessageBoxW(GetHWND(), text, caption, MB_OK | icon);
}

bool CDlgInstall::CheckInstallFolder(std::wstring* path) {
    *path = editPath_->GetText();
    if (!HasDriveLetter(*path) || !EnsureDirectory(*path)) {
        Refuse(L"安装路径非法，请重新修改！", L"错误", MB_ICONWARNING);
        return false;
    }
    if (path->size() > 3 && path->back() == L'\\') path->pop_back();
    return true;
}

bool CDlgInstall::WriteChoices(const std::wstring& path) {
    Engine().Set(NamedText(vek::WideToUtf8(editPath_->GetUserData())), path);
    for (COptionUI* option : initView_->FindSubControlsByClass<COptionUI>()) {
        const std::string name = vek::WideToUtf8(option->GetUserData());
        Engine().Set(BoolGlobal{name.c_str()}, option->IsSelected());
    }
    return true;
}

bool CDlgInstall::CheckBackupFolder() {
    const std::wstring backup = Engine().Get(globals::kBackupPath);
    if (backup.empty()) return true;
    Trace(L"backpath = %s", backup.c_str());
    if (HasDriveLetter(backup) && EnsureDirectory(backup)) return true;
    Refuse(L"备份路径非法，请重新修改！", L"错误", MB_ICONWARNING);
    return false;
}

bool CDlgInstall::CheckFreeSpace(const std::wstring& path) {
    const unsigned long long available = vek::FreeBytesForUser(path.substr(0, 2) + L"\\");
    unsigned long long needed = 0;
    std::swscanf(Engine().Get(globals::kNeedDiskSpace).c_str(), L"%I64u", &needed);
    if (available >= needed) return true;
    const float megabytes = static_cast<float>(needed) * (1.0f / 1024) * (1.0f / 1024);
    wchar_t text[128];
    std::swprintf(text, 128, L"磁盘剩余可用空间不足,安装程序需要%0.2fMB的空间来完成安装！", megabytes);
    Refuse(text, L"提示", MB_ICONINFORMATION);
    return false;
}

void CDlgInstall::OnInstallClick(TNotifyUI&) {
    if (!editPath_ || workerRunning_) return;
    std::wstring path;
    if (!CheckInstallFolder(&path) || !WriteChoices(path) || !CheckBackupFolder() || !CheckFreeSpace(path)) return;
    CInstallMgr::GetInstance().BeforeInstall();
    StartInstall();
    ReportChoices();
}

void CDlgInstall::ReportChoices() {
    const auto stat = RuvoStatModule::GetInstance();
    stat->ReportAction(checkDesktop_ && checkDesktop_->IsSelected() ? 25103 : 25104, 0);
    stat->ReportAction(checkAutoStart_ && checkAutoStart_->IsSelected() ? 25105 : 25106, 0);
}

void CDlgInstall::StartInstall() {
    if (!tabMain_ || !installView_ || !progress_ || !captionButtons_) return;
    tabMain_->SelectItem(installView_);
    captionButtons_->SetVisible(false);
    Trace(L"view install");
    viewToPresent_ = L"install";
    Engine().Set(globals::kProgressElapse,
                 static_cast<lua_Integer>(static_cast<unsigned>(PayloadSize() * kElapsePerByte / 100)));
    const bool cycling = Engine().Get(globals::kAppId) == kSearchServerAppId;
    // The last position the script can see until the worker is done.
    progress_->SetValue(0);
    Engine().Set(globals::kProgressPos, 0);
    workerRunning_ = true;
    HANDLE worker = ::CreateThread(nullptr, 0, InstallWorker, GetHWND(), 0, nullptr);
    if (worker) {
        ::CloseHandle(worker);
    } else {
        workerRunning_ = false;
        PostMessage(UM_WORKER_DONE, 0, 0);
    }
    UpdateProgressText();  // not the layout's sample text until the first tick
    progress_->SetTimer(TIMER_PROGRESS, kProgressElapseMs);
    if (cycling) installView_->SetTimer(TIMER_INSTALL_BK, static_cast<unsigned>(installView_->GetTag()));
    installView_->SetTag(0);
}

DWORD WINAPI InstallWorker(LPVOID param) {
    CInstallMgr& manager = CInstallMgr::GetInstance();
    manager.OnInstall();
    manager.BeforeComplete();
    ::PostMessageW(static_cast<HWND>(param), UM_WORKER_DONE, 0, 0);
    return 0;
}

void CDlgInstall::OnControlTimer(TNotifyUI& msg) {
    if (msg.sender == installView_ && msg.wParam == TIMER_INSTALL_BK) AdvanceBackground();
    else if (msg.sender == progress_ && msg.wParam == TIMER_PROGRESS) AdvanceProgress();
}

void CDlgInstall::AdvanceBackground() {
    const uintptr_t index = (installView_->GetTag() + 1) % kBackgroundImages;
    installView_->SetTag(index);
    char image[40];
    std::snprintf(image, sizeof image, "Image/InstallBk%u.png", static_cast<unsigned>(index));
    installView_->SetBkImage(image);
    Trace(L"background Image/InstallBk%u.png", static_cast<unsigned>(index));
}

void CDlgInstall::AdvanceProgress() {
    if (progress_->GetValue() + kProgressStep < progress_->GetMaxValue())
        progress_->SetValue(progress_->GetValue() + kProgressStep);
    UpdateProgressText();
    Trace(L"progress tick %d", progress_->GetValue());
    // While the worker is inside an event the state is its; the position
    // is published on the first tick after it is done.
    if (!workerRunning_) Engine().Set(globals::kProgressPos, progress_->GetValue());
    if (progress_->GetValue() >= progress_->GetMaxValue()) FinishInstall(completionNumber_);
}

void CDlgInstall::OnWorkerDone(WPARAM completionNumber) {
    workerRunning_ = false;
    if (closeWanted_) {
        // Asked to close during the install: the install is complete (the
        // listener hears so), the product is not started.
        finished_ = true;
        NotifyInstallFinished();
        ::DestroyWindow(GetHWND());
        return;
    }
    if (!progress_) return;
    completionNumber_ = static_cast<int>(static_cast<int32_t>(completionNumber));
    progress_->SetValue(progress_->GetMaxValue());
}

void CDlgInstall::UpdateProgressText() {
    if (!progressText_ || !progress_) return;
    wchar_t text[64];
    std::swprintf(text, 64, L"安装中...  (%d\xFF05)", progress_->GetValue());
    progressText_->SetText(text);
}

void CDlgInstall::FinishInstall(int completionNumber) {
    if (!tabMain_ || !btnStart_ || !captionButtons_ || !installView_ || !progress_ || finished_) return;
    finished_ = true;
    installView_->KillTimer(TIMER_INSTALL_BK);
    progress_->KillTimer(TIMER_PROGRESS);
    progress_->SetValue(progress_->GetMaxValue());
    UpdateProgressText();
    FlushPaint();
    Trace(L"progress %d/%d", progress_->GetValue(), progress_->GetMaxValue());
    captionButtons_->SetVisible(true);
    NotifyInstallFinished();
    BringWindowToFront(GetHWND());
    if (!Engine().Get(globals::kShowCompleteWindow)) {
        StartProduct();
        return;
    }
    tabMain_->SelectItem(completeView_);
    viewToPresent_ = L"complete";
    btnStart_->SetFocus();
    completionNumber_ = completionNumber;
    ShowCompletionNumber();
    const CControlUI* focus = Manager().GetFocus();
    Trace(L"view complete, focus %s", focus ? vek::Utf8ToWide(focus->GetName()).c_str() : L"none");
}

void CDlgInstall::ShowCompletionNumber() {
    if (!number_) return;
    number_->RemoveAll();
    for (wchar_t digit : std::to_wstring(completionNumber_)) {
        auto cell = std::make_unique<CHorizontalLayoutUI>();
        cell->SetFixedWidth(28);
        cell->SetFixedHeight(36);
        auto label = std::make_unique<CLabelUI>();
        label->SetFixedWidth(24);
        label->SetAttribute("align", "center");
        label->SetAttribute("valign", "vcenter");
        label->SetFont(18);
        label->SetTextColor(kNumberColor);
        label->SetAttribute("bordercolor", "#FF1FC880");  // kept for a framework that draws borders
        label->SetText(std::wstring(1, digit));
        cell->Add(std::move(label));
        number_->Add(std::move(cell));
    }
}

void CDlgInstall::OnStartClick(TNotifyUI&) {
    if (workerRunning_) return;  // the caption buttons are hidden then anyway
    StartProduct();
}

void CDlgInstall::StartProduct() {
    std::wstring folder;
    vek::ExpandPath(Engine().Get(globals::kDefaultInstallPath), folder);
    const std::wstring program = folder + L"\\" + Engine().Get(globals::kMainAppName);
    const std::wstring parameters = Engine().Get(globals::kStartParameter);
    if (Engine().Get(globals::kStartViaExplorer)) {
        Trace(L"ProcessLauncherExplorerLevel~!\r\n");
        vek::LaunchViaExplorer(program, parameters);
    } else {
        vek::ShellOpenNormal(program, parameters);
    }
    CInstallMgr::GetInstance().AfterComplete();
    PostMessage(WM_CLOSE, 1, 0);
}

LRESULT CDlgInstall::HandleCustomMessage(UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (msg == UM_WORKER_DONE) {
        handled = true;
        OnWorkerDone(wParam);
        return 0;
    }
    if (msg == WM_CLOSE && workerRunning_) {
        // The worker is inside the install script: closing now would tear
        // the state down under it. Close once it is done.
        closeWanted_ = true;
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CDlgInstall::OnFramePresented(const vekui::Rect&) {
    // The first frame after a view was selected carries it whole.
    if (viewToPresent_) Trace(L"frame %s", viewToPresent_);
    viewToPresent_ = nullptr;
}

void CDlgInstall::OnFinalMessage(HWND hwnd) {
    WindowImplBase::OnFinalMessage(hwnd);
    ::PostQuitMessage(0);
}

bool CheckDir(const std::wstring& path, const std::wstring& name) {
    Trace(L"CheckDir %s, %s", path.c_str(), name.c_str());
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring last = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return last == name;
}

bool EnsureDirectory(const std::wstring& path) {
    const int result = vek::ShellCreateDirectory(path);
    return result == ERROR_SUCCESS || result == ERROR_FILE_EXISTS || result == ERROR_ALREADY_EXISTS;
}

void BringWindowToFront(HWND hwnd) {
    const DWORD foreground = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const DWORD self = ::GetCurrentThreadId();
    const bool attached = foreground && foreground != self && ::AttachThreadInput(self, foreground, TRUE);
    ::ShowWindow(hwnd, SW_SHOWNORMAL);
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetForegroundWindow(hwnd);
    if (attached) ::AttachThreadInput(self, foreground, FALSE);
}
