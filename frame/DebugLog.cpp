#include "frame/DebugLog.h"

#include "frame/RunHeader.h"
#include "platform/LibraryGlobal.h"
#include "platform/LogFile.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <memory>
#include <typeinfo>
#if __has_include(<cxxabi.h>)
#include <cxxabi.h>
#include <cstdlib>
#endif

namespace velmora {

namespace {

constexpr size_t PrefixWidth = 30;

std::wstring LinePrefix(std::wstring_view prefix) {
    std::wstring line(prefix);
    if (line.size() < PrefixWidth)
        line.resize(PrefixWidth, L' ');
    line += L' ';
    return line;
}

int Ordinal(TLogLevel level) {
    return static_cast<int>(level);
}

std::wstring ClassNameOf(const std::type_info& type) {
    std::string name = type.name();
#if __has_include(<cxxabi.h>)
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
    if (readable && status == 0)
        name = readable.get();
#endif
    if (size_t cut = name.rfind("::"); cut != std::string::npos)
        name.erase(0, cut + 2);
    return Widen(name);
}

} // namespace

std::wstring ErrorMessage(std::exception_ptr error) {
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return Widen(e.what());
    } catch (...) {
        return L"Unknown error";
    }
}

std::wstring ErrorClassName(std::exception_ptr error) {
    if (!error)
        return {};
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return ClassNameOf(typeid(e));
    } catch (...) {
        return L"Exception";
    }
}

TDebugLog::TDebugLog(std::wstring name, int64_t maxFileSize, std::wstring_view prefix)
    : FModuleName(LinePrefix(prefix)), FLogName(std::move(name)) {
    // "bds" is the development environment's own process: it gets no file.
    if (SameText(FLogName, L"bds"))
        return;
    FDebugLogFile = TDebugLogFile::GetLogInstance(FLogName);
    FDebugLogFile->SetMaxFileSize(maxFileSize);
}

TDebugLog::~TDebugLog() {
    TDebugLogFile::FreeLogInstance(FDebugLogFile);
}

void TDebugLog::WriteLog(TLogLevel level, std::wstring_view text, std::wstring_view className) {
    if (FDebugLogFile)
        FDebugLogFile->WriteLog(Ordinal(level), FModuleName, text, className);
}

void TDebugLog::LogValue(TLogLevel level, std::wstring_view name, std::wstring_view value) {
    if (FDebugLogFile)
        FDebugLogFile->LogValue(Ordinal(level), FModuleName, name, value);
}

void TDebugLog::LogValues(TLogLevel level,
                          std::initializer_list<std::pair<std::wstring_view, std::wstring_view>> values) {
    if (FDebugLogFile)
        FDebugLogFile->LogValues(Ordinal(level), FModuleName, values);
}

void TDebugLog::LogError(TLogLevel level, std::wstring_view text, std::exception_ptr error) {
    if (FDebugLogFile && FDebugLogFile->IsLogged(Ordinal(level)))
        FDebugLogFile->LogError(Ordinal(level), FModuleName, text, ErrorClassName(error),
                                ErrorMessage(error));
}

void TDebugLog::BeginProc(TLogLevel level, std::wstring_view name) {
    if (FDebugLogFile)
        FDebugLogFile->BeginProc(Ordinal(level), FModuleName, name);
}

void TDebugLog::EndProc(TLogLevel level, std::wstring_view name) {
    if (FDebugLogFile)
        FDebugLogFile->EndProc(Ordinal(level), FModuleName, name);
}

void TDebugLog::BeginNesting() {
    if (FDebugLogFile)
        FDebugLogFile->BeginNesting();
}

void TDebugLog::EndNesting() {
    if (FDebugLogFile)
        FDebugLogFile->EndNesting();
}

void TDebugLog::SetLogLevel(TLogLevel level) {
    if (FDebugLogFile)
        FDebugLogFile->SetLogLevel(Ordinal(level));
}

void TDebugLog::SetDirectWrite(bool direct) {
    if (FDebugLogFile)
        FDebugLogFile->SetDirectWrite(direct);
}

void TDebugLog::Lock() {
    if (FDebugLogFile)
        FDebugLogFile->Lock();
}

void TDebugLog::Unlock() {
    if (FDebugLogFile)
        FDebugLogFile->Unlock();
}

std::wstring TDebugLog::FileName() const {
    return FDebugLogFile ? FDebugLogFile->FileName() : std::wstring();
}

// Both logs are left open when the process ends while the library is in use:
// a thread stopped in the middle of a line may hold the file's lock.
TDebugLog& DebugLog() {
    static TLibraryGlobal<TDebugLog> log(HostProgramName(), 0, LibraryFileName());
    return *log;
}

namespace {
// The diagnostic log exists from library load on, before any unit logs.
[[maybe_unused]] TDebugLog& LoadTimeDebugLog = DebugLog();
} // namespace

TDebugLog& StatisticsLog::Instance() {
    // Created by the first caller, whichever thread it runs on (a function
    // static is initialised exactly once).
    static TDebugLog& log = []() -> TDebugLog& {
        static TLibraryGlobal<TDebugLog> holder(L"VelmoraStatistics", 1048576, LibraryFileName());
        TDebugLog& instance = *holder;
        // The statistics log is meant to keep errors and nothing finer. Its own
        // records ("Detect changes in location ...", "Delete Program: ...", the
        // run header) are written at llInfo, and this log file lets a line through
        // when its level is at most the set one; llError would silence every
        // record the log exists for. So the file is opened up to llInfo, which
        // keeps errors and the records alike.
        instance.SetLogLevel(TLogLevel::llInfo);
        return instance;
    }();
    return log;
}

void StatisticsLog::Add(std::wstring_view text) {
    Instance().WriteLog(TLogLevel::llInfo, text);
}

void StatisticsLog::AddError(std::exception_ptr error) {
    if (!error)
        return;
    // A stop request ends work quietly; it is not an error.
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        return;
    } catch (...) {
    }
    // Logging never raises into its caller (a thread's last error handler).
    try {
        Instance().LogError(TLogLevel::llError, L"", error);
    } catch (...) {
    }
}

void StatisticsLog::Reset() {
    // Read before the log is locked: reading the registry is the long part,
    // and other threads keep logging meanwhile.
    const TRunHeader header = ReadRunHeader();
    TDebugLog& log = Instance();
    // The header stays in one piece even if another thread logs meanwhile.
    TLogGroup group(log);
    WriteRunHeader(header, [&](std::wstring_view line) { log.WriteLog(TLogLevel::llInfo, line); });
}

} // namespace velmora
