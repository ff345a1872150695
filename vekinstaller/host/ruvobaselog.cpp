#include "ruvobaselog.h"

#include <windows.h>

#include <cstdio>
#include <ctime>
#include <shlwapi.h>

#define FMT_HEADER_ONLY
// Nothing is formatted for a locale ('L'); with a fixed separator fmt never
// names std::locale, which would drag every locale facet of libstdc++
// (about 570 KB) into the installer.
#define FMT_STATIC_THOUSANDS_SEPARATOR ','
#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/spdlog.h>

#include "utility/base/folderwalk.h"
#include "utility/base/paths.h"
#include "utility/base/textconv.h"

CRuvoBaseLog& CRuvoBaseLog::GetInstance() {
    static CRuvoBaseLog instance;
    return instance;
}

CRuvoBaseLog::~CRuvoBaseLog() = default;

void CRuvoBaseLog::InitLogger(const std::string& path) {
    char buffer[MAX_PATH] = {};
    lstrcpynA(buffer, path.c_str(), MAX_PATH);
    ::PathRemoveExtensionA(buffer);
    const std::string loggerName = ::PathFindFileNameA(buffer);
    ::PathRemoveFileSpecA(buffer);
    CleanOldLogs(buffer, loggerName);

    std::shared_ptr<spdlog::sinks::daily_file_sink_mt> sink;
    try {
        sink = std::make_shared<spdlog::sinks::daily_file_sink_mt>(path, 23, 59);
    } catch (const spdlog::spdlog_ex& e) {
        ::OutputDebugStringA(e.what());
        return;
    } catch (...) {
        ::OutputDebugStringA("Unknown exception in InitLogger");
        return;
    }
    fileName_ = vek::ThreadAnsiToWide(sink->filename());
    logger_ = std::make_shared<spdlog::logger>(loggerName, sink);
    spdlog::register_logger(logger_);
    logger_->set_level(spdlog::level::info);
    logger_->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%^%l%$] [%t] %v", spdlog::pattern_time_type::local);
    logger_->flush_on(spdlog::level::info);
}

std::wstring CRuvoBaseLog::FileName() const { return fileName_; }

void CRuvoBaseLog::Info(const char* file, const char* function, int line, std::string_view message) {
    if (!logger_) return;
    const char* name = ::PathFindFileNameA(file);
    logger_->info("[{} {}: {}] {}", name, function, line, message);
}

void CleanOldLogs(const std::string& folder, const std::string& loggerName) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char today[MAX_PATH];
    snprintf(today, sizeof today, "%s_%d-%02d-%02d.log", loggerName.c_str(), now.wYear, now.wMonth,
             now.wDay);

    const std::wstring wideFolder = vek::ThreadAnsiToWide(folder);
    const std::wstring wideToday = vek::ThreadAnsiToWide(today);
    const std::wstring wideName = vek::ThreadAnsiToWide(loggerName);
    const bool searched = vek::ForEachEntry(wideFolder, [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring name = entry.cFileName;
        if (name == wideToday || name.substr(0, name.find(L'_')) != wideName) return;
        ::DeleteFileW(vek::JoinPath(wideFolder, name).c_str());  // a failure is of no concern
    });
    if (!searched) printf("搜索失败!");
}
