#include "platform/LogFile.h"

#include "platform/Format.h"
#include "platform/Text.h"

#include <map>

namespace velmora {

std::wstring FormatLogTime(const logfs::TLocalTime& t) {
    wchar_t text[32];
    auto put = [&](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = static_cast<wchar_t>(L'0' + value % 10);
    };
    std::wstring_view pattern = L"0000.00.00 00:00:00.000";
    pattern.copy(text, pattern.size());
    put(0, t.Year, 4);
    put(5, t.Month, 2);
    put(8, t.Day, 2);
    put(11, t.Hour, 2);
    put(14, t.Minute, 2);
    put(17, t.Second, 2);
    put(20, t.Millisecond, 3);
    return std::wstring(text, pattern.size());
}

namespace {

// Buffered logs write in blocks of about this size.
constexpr size_t BufferLimit = 64 * 1024;
// After a failed open, lines are dropped for a while instead of retrying the
// file system on every line.
constexpr auto RetryDelay = std::chrono::seconds(2);

struct TextLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return CompareText(a, b) < 0; }
};

std::wstring_view LevelName(int level) {
    // Ordinals as the library's TLogLevel numbers them.
    switch (level) {
    case 0:
        return L"NONE ";
    case 1:
        return L"ERROR";
    case 2:
        return L"WARN ";
    case 3:
        return L"INFO ";
    default:
        return {};
    }
}

std::wstring ThreadNumberText(uint64_t number) {
    std::wstring digits = std::to_wstring(number);
    if (digits.size() < 8)
        digits.insert(0, 8 - digits.size(), L' ');
    return digits;
}

} // namespace

// Instances by name. Never destroyed: logs are freed from static destructors
// of other units, in an order no one controls.
struct TLogRegistry {
    std::mutex Mutex;
    std::map<std::wstring, TDebugLogFile*, TextLess> Logs;

    static TLogRegistry& Get() {
        static TLogRegistry* registry = new TLogRegistry;
        return *registry;
    }
};

TDebugLogFile* TDebugLogFile::GetLogInstance(std::wstring_view name) {
    auto& registry = TLogRegistry::Get();
    std::lock_guard lock(registry.Mutex);
    std::wstring key(name);
    auto it = registry.Logs.find(key);
    if (it == registry.Logs.end())
        it = registry.Logs.emplace(key, new TDebugLogFile(key)).first;
    ++it->second->FRefCount;
    return it->second;
}

void TDebugLogFile::FreeLogInstance(TDebugLogFile* log) noexcept {
    if (!log)
        return;
    auto& registry = TLogRegistry::Get();
    std::lock_guard lock(registry.Mutex);
    if (--log->FRefCount > 0)
        return;
    registry.Logs.erase(log->FName);
    delete log;
}

TDebugLogFile::TDebugLogFile(std::wstring name) : FName(std::move(name)) {}

TDebugLogFile::~TDebugLogFile() {
    std::lock_guard lock(FMutex);
    FlushBuffer();
    CloseFile();
}

std::wstring TDebugLogFile::FileName() const {
    std::lock_guard lock(FMutex);
    std::wstring folder = FFolder.empty() ? LogDirectory() : FFolder;
    return folder + logfs::PathSeparator + FName + L".log";
}

void TDebugLogFile::SetMaxFileSize(int64_t bytes) noexcept {
    std::lock_guard lock(FMutex);
    FMaxFileSize = bytes > 0 ? bytes : DefaultMaxFileSize;
}

int64_t TDebugLogFile::MaxFileSize() const noexcept {
    std::lock_guard lock(FMutex);
    return FMaxFileSize;
}

void TDebugLogFile::SetLogLevel(int level) noexcept {
    FLevel = level;
}

int TDebugLogFile::LogLevel() const noexcept {
    return FLevel;
}

void TDebugLogFile::SetDirectWrite(bool direct) noexcept {
    std::lock_guard lock(FMutex);
    FDirect = direct;
    if (direct)
        FlushBuffer();
}

void TDebugLogFile::Flush() noexcept {
    std::lock_guard lock(FMutex);
    FlushBuffer();
}

void TDebugLogFile::WriteLog(int level, std::wstring_view prefix, std::wstring_view text,
                             std::wstring_view className) noexcept {
    if (!IsLogged(level))
        return;
    if (className.empty()) {
        Write(level, prefix, text);
        return;
    }
    try {
        Write(level, prefix, std::wstring(className) + L": " + std::wstring(text));
    } catch (...) {
    }
}

void TDebugLogFile::LogValue(int level, std::wstring_view prefix, std::wstring_view name,
                             std::wstring_view value) noexcept {
    if (!IsLogged(level))
        return;
    try {
        Write(level, prefix, std::wstring(name) + L" = " + std::wstring(value));
    } catch (...) {
    }
}

void TDebugLogFile::LogValues(
    int level, std::wstring_view prefix,
    std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> values) noexcept {
    if (!IsLogged(level))
        return;
    try {
        std::wstring line;
        for (auto& [name, value] : values) {
            if (!line.empty())
                line += L", ";
            line.append(name).append(L" = ").append(value);
        }
        Write(level, prefix, line);
    } catch (...) {
    }
}

void TDebugLogFile::LogError(int level, std::wstring_view prefix, std::wstring_view text,
                             std::wstring_view errorClass, std::wstring_view message) noexcept {
    if (!IsLogged(level))
        return;
    try {
        std::wstring line(text);
        if (!line.empty())
            line += L": ";
        if (!errorClass.empty())
            line.append(errorClass).append(L": ");
        line += message;
        Write(level, prefix, line);
    } catch (...) {
    }
}

void TDebugLogFile::BeginProc(int level, std::wstring_view prefix, std::wstring_view name) noexcept {
    std::lock_guard lock(FMutex);
    if (IsLogged(level)) {
        try {
            Write(level, prefix, L"Begin " + std::wstring(name));
        } catch (...) {
        }
    }
    BeginNesting();
}

void TDebugLogFile::EndProc(int level, std::wstring_view prefix, std::wstring_view name) noexcept {
    std::lock_guard lock(FMutex);
    EndNesting();
    if (IsLogged(level)) {
        try {
            Write(level, prefix, L"End " + std::wstring(name));
        } catch (...) {
        }
    }
}

int& TDebugLogFile::Nesting() {
    return FNesting[std::this_thread::get_id()];
}

void TDebugLogFile::BeginNesting() noexcept {
    std::lock_guard lock(FMutex);
    try {
        ++Nesting();
    } catch (...) {
    }
}

void TDebugLogFile::EndNesting() noexcept {
    std::lock_guard lock(FMutex);
    auto it = FNesting.find(std::this_thread::get_id());
    if (it == FNesting.end())
        return;
    if (--it->second <= 0)
        FNesting.erase(it);
}

void TDebugLogFile::Write(int level, std::wstring_view prefix, std::wstring_view text) noexcept {
    try {
        std::wstring line = FormatLogTime(logfs::LocalTimeNow());
        line += L" [";
        line += ThreadNumberText(logfs::CurrentThreadNumber());
        line += L"] ";
        std::wstring_view levelName = LevelName(level);
        line += levelName.empty() ? Format(L"L%d", level) : std::wstring(levelName);
        line += L' ';
        line += prefix;
        std::lock_guard lock(FMutex);
        auto nesting = FNesting.find(std::this_thread::get_id());
        if (nesting != FNesting.end())
            line.append(2 * static_cast<size_t>(nesting->second), L' ');
        // One record, one line: breaks inside the text become spaces.
        size_t start = line.size();
        line += text;
        for (size_t i = start; i < line.size(); ++i)
            if (line[i] == L'\r' || line[i] == L'\n')
                line[i] = L' ';
        std::string bytes = Narrow(line);
        bytes += logfs::LineBreak();
        Emit(bytes);
    } catch (...) {
        // Out of memory while formatting: the line is lost, the caller goes on.
    }
}

void TDebugLogFile::Emit(const std::string& line) {
    if (!FDirect) {
        FBuffer += line;
        if (FBuffer.size() >= BufferLimit)
            FlushBuffer();
        return;
    }
    if (!EnsureOpen())
        return;
    if (FFileSize > 0 && FFileSize + static_cast<int64_t>(line.size()) > FMaxFileSize + FOverrun) {
        bool rotated = Rotate();
        if (!EnsureOpen())
            return;
        // Try again only after another maximum size of lines.
        FOverrun = rotated ? 0 : FFileSize;
    }
    if (std::fwrite(line.data(), 1, line.size(), FFile) == line.size())
        FFileSize += static_cast<int64_t>(line.size());
    if (FGroupDepth == 0)
        std::fflush(FFile);
}

void TDebugLogFile::Lock() {
    FMutex.lock();
    ++FGroupDepth;
}

void TDebugLogFile::Unlock() {
    if (--FGroupDepth == 0 && FFile)
        std::fflush(FFile);
    FMutex.unlock();
}

void TDebugLogFile::FlushBuffer() {
    if (FBuffer.empty())
        return;
    std::string pending;
    pending.swap(FBuffer);
    // Rotation works line by line, so a block never carries a file far past
    // its maximum size.
    bool direct = FDirect;
    FDirect = true;
    size_t start = 0;
    std::string_view lineBreak = logfs::LineBreak();
    while (start < pending.size()) {
        size_t end = pending.find(lineBreak, start);
        end = end == std::string::npos ? pending.size() : end + lineBreak.size();
        Emit(pending.substr(start, end - start));
        start = end;
    }
    FDirect = direct;
}

bool TDebugLogFile::EnsureOpen() {
    if (FFile)
        return true;
    auto now = std::chrono::steady_clock::now();
    if (now < FRetryAfter)
        return false;
    if (FFolder.empty())
        FFolder = LogDirectory();
    std::wstring path = FFolder + logfs::PathSeparator + FName + L".log";
    if (logfs::CreateFolders(FFolder))
        FFile = logfs::OpenForAppend(path);
    if (!FFile) {
        FRetryAfter = now + RetryDelay;
        return false;
    }
    FRetryAfter = {};
    std::fseek(FFile, 0, SEEK_END);
    long size = std::ftell(FFile);
    FFileSize = size > 0 ? size : 0;
    return true;
}

bool TDebugLogFile::Rotate() {
    CloseFile();
    std::wstring base = FFolder + logfs::PathSeparator + FName;
    // When another process holds the file the move fails; the file then
    // grows on rather than losing lines.
    return logfs::RenameReplacing(base + L".log", base + L".1.log");
}

void TDebugLogFile::CloseFile() {
    if (!FFile)
        return;
    std::fclose(FFile);
    FFile = nullptr;
    FFileSize = 0;
}

} // namespace velmora
