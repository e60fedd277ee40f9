#pragma once
// The runtime log-file service: one shared, reference-counted log per name,
// written by every thread of the process. A record is one UTF-8 line:
//   2024.05.01 14:03:07.512 [    4242] INFO  <prefix><indent>[Class: ]text
// Files are <log folder>/<name>.log; when a line would take a file past its
// maximum size, the file becomes <name>.1.log (replacing the older one) and
// a new file starts. Nothing here throws into the caller: a log that cannot
// write drops its lines.
#include "platform/LogDirectory.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

namespace velmora {

// "yyyy.mm.dd hh:nn:ss.zzz"
std::wstring FormatLogTime(const logfs::TLocalTime& time);

class TDebugLogFile {
public:
    static constexpr int64_t DefaultMaxFileSize = 4 * 1024 * 1024;
    // The level of a new log: every line reaches the file.
    static constexpr int AllLevels = INT_MAX;

    // The shared instance for name (names compare without regard to case),
    // created on the first request. Each call is matched by FreeLogInstance;
    // the last one closes the file.
    static TDebugLogFile* GetLogInstance(std::wstring_view name);
    static void FreeLogInstance(TDebugLogFile* log) noexcept;

    TDebugLogFile(const TDebugLogFile&) = delete;
    TDebugLogFile& operator=(const TDebugLogFile&) = delete;

    const std::wstring& Name() const { return FName; }
    // The file the next line goes to (the folder is fixed at the first write).
    std::wstring FileName() const;

    // 0 selects DefaultMaxFileSize.
    void SetMaxFileSize(int64_t bytes) noexcept;
    int64_t MaxFileSize() const noexcept;
    // A line reaches the file when its level (an ordinal) is <= this level.
    void SetLogLevel(int level) noexcept;
    int LogLevel() const noexcept;
    bool IsLogged(int level) const noexcept { return level <= LogLevel(); }
    // Direct write (the default) flushes every line; otherwise lines are
    // buffered and written in blocks, on Flush and when the log is freed.
    void SetDirectWrite(bool direct) noexcept;
    void Flush() noexcept;

    void WriteLog(int level, std::wstring_view prefix, std::wstring_view text,
                  std::wstring_view className = {}) noexcept;
    // "name = value"
    void LogValue(int level, std::wstring_view prefix, std::wstring_view name,
                  std::wstring_view value) noexcept;
    // "a = 1, b = 2"
    void LogValues(int level, std::wstring_view prefix,
                   std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> values) noexcept;
    // "[text: ]errorClass: message"
    void LogError(int level, std::wstring_view prefix, std::wstring_view text, std::wstring_view errorClass,
                  std::wstring_view message) noexcept;
    // "Begin name" then one more indentation step for this thread's lines;
    // EndProc steps back and writes "End name".
    void BeginProc(int level, std::wstring_view prefix, std::wstring_view name) noexcept;
    void EndProc(int level, std::wstring_view prefix, std::wstring_view name) noexcept;
    // Indentation of the calling thread's lines, two spaces per step.
    void BeginNesting() noexcept;
    void EndNesting() noexcept;

    // Keeps other threads' lines out of a group of lines (re-entrant; every
    // write takes the same lock). Direct write flushes a group's lines once,
    // when the group ends.
    void Lock();
    void Unlock();

private:
    explicit TDebugLogFile(std::wstring name);
    ~TDebugLogFile();

    void Write(int level, std::wstring_view prefix, std::wstring_view text) noexcept;
    void Emit(const std::string& line);
    bool EnsureOpen();
    bool Rotate();
    void CloseFile();
    void FlushBuffer();
    int& Nesting();

    std::wstring FName;
    mutable std::recursive_mutex FMutex;
    std::wstring FFolder;
    std::FILE* FFile = nullptr;
    int64_t FFileSize = 0;
    int64_t FOverrun = 0; // tolerated after a failed rotation
    int64_t FMaxFileSize = DefaultMaxFileSize;
    std::atomic<int> FLevel{AllLevels};
    bool FDirect = true;
    // Nesting of Lock; guarded by FMutex.
    int FGroupDepth = 0;
    std::string FBuffer;
    std::chrono::steady_clock::time_point FRetryAfter{};
    std::unordered_map<std::thread::id, int> FNesting;
    int FRefCount = 0;

    friend struct TLogRegistry;
};

} // namespace velmora
