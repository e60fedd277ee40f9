#pragma once
// The library's two logs: the diagnostic log (named after the host
// executable) and the statistics log "VelmoraStatistics", both written
// through the runtime log-file service.
#include "platform/Format.h"

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace velmora {

class TDebugLogFile;

enum class TLogLevel { llNone, llError, llWarning, llInfo };

class TDebugLog {
public:
    // With the name "bds" (any case) the log has no file and does nothing.
    TDebugLog(std::wstring name, int64_t maxFileSize, std::wstring_view prefix);
    ~TDebugLog();
    TDebugLog(const TDebugLog&) = delete;
    TDebugLog& operator=(const TDebugLog&) = delete;

    void WriteLog(TLogLevel level, std::wstring_view text, std::wstring_view className = {});
    template <class... Args> void WriteLogF(TLogLevel level, std::wstring_view format, const Args&... args) {
        WriteLog(level, Format(format, args...));
    }
    void LogValue(TLogLevel level, std::wstring_view name, std::wstring_view value);
    // Several "name = value" pairs on one line.
    void LogValues(TLogLevel level,
                   std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> values);
    void LogError(TLogLevel level, std::wstring_view text, std::exception_ptr error);
    void BeginProc(TLogLevel level, std::wstring_view name);
    void EndProc(TLogLevel level, std::wstring_view name);
    void BeginNesting();
    void EndNesting();
    void SetLogLevel(TLogLevel level);
    void SetDirectWrite(bool direct);
    // Keeps other threads' lines out of a group of lines (re-entrant).
    void Lock();
    void Unlock();
    // The file the log writes to; empty for a log without a file.
    std::wstring FileName() const;

    const std::wstring& LogName() const { return FLogName; }
    // The prefix padded to 30 characters, plus one space.
    const std::wstring& ModuleName() const { return FModuleName; }

private:
    std::wstring FModuleName;
    TDebugLogFile* FDebugLogFile = nullptr;
    std::wstring FLogName;
};

// Holds a log's lock over a group of lines (TDebugLog::Lock and Unlock).
class TLogGroup {
public:
    explicit TLogGroup(TDebugLog& log) : FLog(log) { FLog.Lock(); }
    ~TLogGroup() { FLog.Unlock(); }
    TLogGroup(const TLogGroup&) = delete;
    TLogGroup& operator=(const TLogGroup&) = delete;

private:
    TDebugLog& FLog;
};

// The diagnostic log, created at library load.
TDebugLog& DebugLog();

// The statistics log, created on first use at level llError.
class StatisticsLog {
public:
    static void Add(std::wstring_view text);
    template <class... Args> static void Add(std::wstring_view format, const Args&... args) {
        Add(std::wstring_view(Format(format, args...)));
    }
    // Logs an error; without an argument, the exception being handled. Never
    // raises; a stop request (EAbort) is not logged.
    static void AddError(std::exception_ptr error = std::current_exception());
    // Writes the run header: system information and the uninstall registry.
    // A stop request of the calling thread ends it (the silent abort passes
    // on); the log is locked only while the lines are written.
    static void Reset();
    static TDebugLog& Instance();
};

// Message text of an exception (UTF-16), for logs and error results; empty
// for no exception.
std::wstring ErrorMessage(std::exception_ptr error);
// The exception's class name without namespaces ("EOSError", "bad_alloc").
std::wstring ErrorClassName(std::exception_ptr error);

// What the logs are named after (per OS): the host executable's file name
// without extension, and the file name of the module the library is linked into.
std::wstring HostProgramName();
std::wstring LibraryFileName();

} // namespace velmora
