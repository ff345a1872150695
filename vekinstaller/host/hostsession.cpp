#include "hostsession.h"

#include <objbase.h>

#include <atomic>
#include <cstdlib>

#include "utility/base/dllsearch.h"
#include "utility/base/fileops.h"
#include "utility/base/paths.h"
#include "utility/base/textconv.h"
#include "utility/base/trace.h"
#include "utility/vekscriptengine/scriptlog.h"
#include "utility/vekscriptengine/vekscriptengine.h"
#include "vekinstaller/host/ruvobaselog.h"

namespace {

// Before every other initialiser of the program (the engine and GDI+ start
// before the entry point): no library comes from beside the program or from
// the current folder. Linking the host session links this.
struct RestrictDllSearchFirst {
    RestrictDllSearchFirst() { vek::RestrictDllSearchToSystem(); }
} g_restrictDllSearch __attribute__((init_priority(101)));

std::atomic<CHostSession*> g_session{nullptr};

void LogToDiagnosticLog(const char* file, const char* function, int line, std::string_view message) {
    CRuvoBaseLog::GetInstance().Info(file, function, line, message);
}

}  // namespace

CHostSession::CHostSession(const wchar_t* logName) : logBasePath_(vek::TempFolder() + logName) {
    ::DeleteFileW(logBasePath_.c_str());
    CRuvoBaseLog::GetInstance().InitLogger(vek::WideToThreadAnsi(logBasePath_));
    vek::SetScriptLogSink(LogToDiagnosticLog);
    g_session.store(this);
    std::atexit(CleanupAtExit);
}

CHostSession::~CHostSession() {
    Cleanup();
    g_session.store(nullptr);
}

bool CHostSession::RunChunks(std::initializer_list<const wchar_t*> names) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    for (const wchar_t* name : names) {
        if (!engine.DoResLua(L"LUA", name)) {
            vek::Trace(L"DoResLua failed, %s", name);
            return false;
        }
    }
    return true;
}

namespace {

std::wstring ReadFailure(const std::wstring& path, const vek::Status& read, unsigned long long limit) {
    if (read.NotFound()) return L"chunk file missing: " + path;
    if (read.error == ERROR_FILE_TOO_LARGE)
        return L"chunk file larger than " + std::to_wstring(limit) + L" bytes: " + path;
    return L"chunk file unreadable (error " + std::to_wstring(read.error) + L"): " + path;
}

}  // namespace

bool CHostSession::RunChunkFiles(std::initializer_list<std::wstring> paths, unsigned long long sizeLimit) {
    VekScriptEngine& engine = VekScriptEngine::GetInstance();
    for (const std::wstring& path : paths) {
        std::string bytes;
        const vek::Status read = vek::ReadFileLimited(path, sizeLimit, &bytes);
        if (!read) {
            Report(ReadFailure(path, read, sizeLimit));
            return false;
        }
        const std::string name = vek::WideToUtf8(path.substr(path.find_last_of(L'\\') + 1));
        if (!engine.DoBuffer(bytes.data(), bytes.size(), name.c_str())) {
            Report(L"chunk did not load or run: " + path);
            return false;
        }
    }
    return true;
}

void CHostSession::Report(const std::wstring& text, const char* file, const char* function, int line) {
    vek::Trace(L"%s", text.c_str());
    CRuvoBaseLog::GetInstance().Info(file, function, line, vek::WideToThreadAnsi(text));
}

void CHostSession::StartCom() {
    if (comThread_ == 0 && SUCCEEDED(::CoInitialize(nullptr))) comThread_ = ::GetCurrentThreadId();
}

void CHostSession::AtCleanup(std::function<void()> work) { cleanups_.push_back(std::move(work)); }

// A script's os.exit leaves through exit(): the session on the entry
// point's stack is never destroyed then.
void CHostSession::CleanupAtExit() {
    if (CHostSession* session = g_session.load()) session->Cleanup();
}

void CHostSession::Cleanup() {
    if (cleanedUp_.exchange(true)) return;
    for (auto work = cleanups_.rbegin(); work != cleanups_.rend(); ++work) (*work)();
    cleanups_.clear();
    // COM ends on the thread that started it; an exit from another thread
    // leaves it to the process's end.
    if (comThread_ != 0 && comThread_ == ::GetCurrentThreadId()) ::CoUninitialize();
    comThread_ = 0;
    // The log goes at the next reboot: the undated base path and the dated
    // file actually written.
    ::MoveFileExW(logBasePath_.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    const std::wstring written = CRuvoBaseLog::GetInstance().FileName();
    if (!written.empty()) ::MoveFileExW(written.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
