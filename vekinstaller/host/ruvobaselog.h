// The diagnostic log: a dated file in the temporary folder, written through
// spdlog. Only scripts and the tool-process step write to it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace spdlog {
class logger;
}

class CRuvoBaseLog {
public:
    static CRuvoBaseLog& GetInstance();

    // `path` is the undated base path in the thread's ANSI code page; the
    // file written is <name>_<yyyy-mm-dd><ext> beside it.
    void InitLogger(const std::string& path);

    // One info line "[<file> <function>: <line>] <message>"; skipped while
    // there is no logger.
    void Info(const char* file, const char* function, int line, std::string_view message);

    // The file the log writes now (thread ANSI code page, as given); empty
    // without a logger.
    std::wstring FileName() const;

    virtual ~CRuvoBaseLog();

private:
    CRuvoBaseLog() = default;
    std::shared_ptr<spdlog::logger> logger_;
    std::wstring fileName_;
};

// Removes this logger's files of earlier days from `folder`.
void CleanOldLogs(const std::string& folder, const std::string& loggerName);

#define VEK_LOG_INFO(message) \
    ::CRuvoBaseLog::GetInstance().Info(__FILE__, __func__, __LINE__, (message))
