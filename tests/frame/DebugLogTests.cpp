// The log wrapper and the log-file service behind it: line layout, prefix,
// "bds", levels, nesting, rotation, buffering and concurrent writers.
#include "LogTestKit.h"

#include "frame/DebugLog.h"
#include "platform/LogFile.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <gmock/gmock.h>

#include <regex>
#include <stdexcept>
#include <thread>

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr size_t PrefixField = 31; // 30 characters and one space

class DebugLogTest : public LogFolderTest {};

TEST_F(DebugLogTest, LineCarriesTimeThreadLevelPaddedPrefixAndText) {
    std::wstring name = UniqueName(L"Layout");
    {
        TDebugLog log(name, 0, L"VelmoraHelper.dll");
        EXPECT_EQ(log.ModuleName(), L"VelmoraHelper.dll" + std::wstring(14, L' '));
        EXPECT_EQ(log.FileName(), PathText(LogPath(name)));
        log.WriteLog(TLogLevel::llInfo, L"first record");
        log.WriteLog(TLogLevel::llWarning, L"second record", L"TItemProgram");
    }
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 2u);
    std::wregex layout(LR"(^\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[ *\d+\] (INFO |WARN ) (.*)$)");
    for (auto& line : lines)
        EXPECT_TRUE(std::regex_match(line, layout)) << Narrow(line);
    EXPECT_EQ(ParseRecord(lines[0]).Level, L"INFO ");
    EXPECT_EQ(ParseRecord(lines[0]).Rest, L"VelmoraHelper.dll              first record");
    EXPECT_EQ(ParseRecord(lines[1]).Level, L"WARN ");
    EXPECT_EQ(RecordText(lines[1], PrefixField), L"TItemProgram: second record");
}

TEST_F(DebugLogTest, PrefixOfThirtyOrMoreCharactersOnlyGetsTheSpace) {
    std::wstring exact(30, L'x');
    std::wstring longer(35, L'y');
    std::wstring name = UniqueName(L"Prefix");
    TDebugLog a(name, 0, exact);
    TDebugLog b(name, 0, longer);
    TDebugLog empty(name, 0, L"");
    EXPECT_EQ(a.ModuleName(), exact + L" ");
    EXPECT_EQ(b.ModuleName(), longer + L" ");
    EXPECT_EQ(empty.ModuleName(), std::wstring(31, L' '));
    b.WriteLog(TLogLevel::llInfo, L"text");
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(ParseRecord(lines[0]).Rest, longer + L" text");
}

TEST_F(DebugLogTest, BdsInAnyCaseHasNoFileAndIgnoresEveryCall) {
    for (const wchar_t* name : {L"bds", L"BDS", L"Bds"}) {
        TDebugLog log(name, 0, L"VelmoraHelper.dll");
        EXPECT_EQ(log.FileName(), L"");
        log.WriteLog(TLogLevel::llError, L"text");
        log.LogValue(TLogLevel::llError, L"a", L"b");
        log.BeginProc(TLogLevel::llError, L"Proc");
        log.EndProc(TLogLevel::llError, L"Proc");
        log.LogError(TLogLevel::llError, L"x", std::make_exception_ptr(std::runtime_error("y")));
        log.SetLogLevel(TLogLevel::llInfo);
        log.Lock();
        log.Unlock();
    }
    EXPECT_TRUE(fs::is_empty(Folder));
}

TEST_F(DebugLogTest, NamesDifferingInCaseShareOneFile) {
    std::wstring name = UniqueName(L"Shared");
    TDebugLog lower(LowerCase(name), 0, L"a");
    TDebugLog upper(UpperCase(name), 0, L"b");
    lower.WriteLog(TLogLevel::llInfo, L"one");
    upper.WriteLog(TLogLevel::llInfo, L"two");
    EXPECT_EQ(ReadLines(LogPath(LowerCase(name))).size(), 2u);
    ASSERT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
}

TEST_F(DebugLogTest, LevelFilterPassesOrdinalsUpToTheSetLevel) {
    std::wstring name = UniqueName(L"Levels");
    TDebugLog log(name, 0, L"p");
    auto writeAll = [&](const wchar_t* tag) {
        log.WriteLog(TLogLevel::llError, Format(L"%s error", tag));
        log.WriteLog(TLogLevel::llWarning, Format(L"%s warning", tag));
        log.WriteLog(TLogLevel::llInfo, Format(L"%s info", tag));
    };
    writeAll(L"default");
    log.SetLogLevel(TLogLevel::llWarning);
    writeAll(L"warning");
    log.LogValue(TLogLevel::llInfo, L"hidden", L"value");
    log.SetLogLevel(TLogLevel::llNone);
    writeAll(L"none");
    std::vector<std::wstring> texts;
    for (auto& line : ReadLines(LogPath(name)))
        texts.push_back(RecordText(line, 31));
    EXPECT_THAT(texts, ElementsAre(L"default error", L"default warning", L"default info", L"warning error",
                                   L"warning warning"));
}

TEST_F(DebugLogTest, ValuesErrorsAndProceduresWithNesting) {
    std::wstring name = UniqueName(L"Nesting");
    {
        TDebugLog log(name, 0, L"p");
        log.BeginProc(TLogLevel::llInfo, L"ReadPrograms");
        log.LogValue(TLogLevel::llInfo, L"Count", L"3");
        log.LogValues(TLogLevel::llInfo, {{L"a", L"1"}, {L"b", L"2"}});
        log.BeginNesting();
        log.LogError(TLogLevel::llError, L"Reading failed",
                     std::make_exception_ptr(std::runtime_error("boom")));
        log.EndNesting();
        log.EndProc(TLogLevel::llInfo, L"ReadPrograms");
        log.WriteLog(TLogLevel::llInfo, L"after");
        // More ends than begins never indent backwards.
        log.EndNesting();
        log.WriteLog(TLogLevel::llInfo, L"still flush");
    }
    std::vector<std::wstring> texts;
    for (auto& line : ReadLines(LogPath(name)))
        texts.push_back(RecordText(line, 31));
    EXPECT_THAT(texts, ElementsAre(L"Begin ReadPrograms", L"  Count = 3", L"  a = 1, b = 2",
                                   L"    Reading failed: runtime_error: boom", L"End ReadPrograms", L"after",
                                   L"still flush"));
}

TEST_F(DebugLogTest, NestingBelongsToTheThreadThatBeganIt) {
    std::wstring name = UniqueName(L"ThreadNesting");
    TDebugLog log(name, 0, L"p");
    log.BeginProc(TLogLevel::llInfo, L"Outer");
    std::thread other([&] { log.WriteLog(TLogLevel::llInfo, L"other thread"); });
    other.join();
    log.WriteLog(TLogLevel::llInfo, L"this thread");
    log.EndProc(TLogLevel::llInfo, L"Outer");
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(RecordText(lines[1], 31), L"other thread");
    EXPECT_EQ(RecordText(lines[2], 31), L"  this thread");
    EXPECT_NE(ParseRecord(lines[1]).Thread, ParseRecord(lines[2]).Thread);
}

TEST_F(DebugLogTest, LineBreaksInsideTextKeepOneLinePerRecord) {
    std::wstring name = UniqueName(L"Breaks");
    TDebugLog log(name, 0, L"p");
    log.WriteLog(TLogLevel::llInfo, L"one\r\ntwo\nthree");
    log.WriteLog(TLogLevel::llInfo, L"");
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(RecordText(lines[0], 31), L"one  two three");
    EXPECT_EQ(RecordText(lines[1], 31), L"");
}

TEST_F(DebugLogTest, NonAsciiTextIsWrittenAsUtf8) {
    std::wstring name = UniqueName(L"Utf8");
    TDebugLog log(name, 0, L"p");
    std::wstring text = L"Gr\u00FC\u00DFe \u65E5\u672C";
    log.WriteLog(TLogLevel::llInfo, text);
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(RecordText(lines[0], 31), text);
}

TEST_F(DebugLogTest, RotatesToDotOneWhenTheMaximumSizeIsReached) {
    std::wstring name = UniqueName(L"Rotation");
    constexpr int64_t maxSize = 2000;
    constexpr int count = 120;
    {
        TDebugLog log(name, maxSize, L"p");
        for (int i = 0; i < count; ++i)
            log.WriteLog(TLogLevel::llInfo, Format(L"line %d", i));
    }
    fs::path current = LogPath(name);
    fs::path previous = Folder / fs::path(name + L".1.log");
    ASSERT_TRUE(fs::exists(previous));
    EXPECT_LE(fs::file_size(current), static_cast<uintmax_t>(maxSize));
    EXPECT_LE(fs::file_size(previous), static_cast<uintmax_t>(maxSize));
    // Several rotations happened: .1 was replaced, and the two files hold the
    // newest lines in order, the last one in the current file.
    auto older = ReadLines(previous);
    auto newer = ReadLines(current);
    ASSERT_FALSE(older.empty());
    ASSERT_FALSE(newer.empty());
    std::vector<std::wstring> all = older;
    all.insert(all.end(), newer.begin(), newer.end());
    EXPECT_LT(all.size(), static_cast<size_t>(count));
    int first = count - static_cast<int>(all.size());
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(RecordText(all[i], 31), Format(L"line %d", first + static_cast<int>(i)));
}

TEST_F(DebugLogTest, MaximumSizeZeroMeansTheDefaultOfFourMebibytes) {
    TDebugLogFile* file = TDebugLogFile::GetLogInstance(UniqueName(L"Default"));
    file->SetMaxFileSize(0);
    EXPECT_EQ(file->MaxFileSize(), 4 * 1024 * 1024);
    file->SetMaxFileSize(1048576);
    EXPECT_EQ(file->MaxFileSize(), 1048576);
    TDebugLogFile::FreeLogInstance(file);
}

TEST_F(DebugLogTest, ContinuesInAFileTheLogAlreadyHas) {
    std::wstring name = UniqueName(L"Append");
    {
        TDebugLog log(name, 0, L"p");
        log.WriteLog(TLogLevel::llInfo, L"first run");
    }
    {
        TDebugLog log(name, 0, L"p");
        log.WriteLog(TLogLevel::llInfo, L"second run");
    }
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(RecordText(lines[1], 31), L"second run");
}

TEST_F(DebugLogTest, BufferedLinesReachTheFileWhenTheLastUserLetsGo) {
    std::wstring name = UniqueName(L"Buffered");
    {
        TDebugLog log(name, 0, L"p");
        log.SetDirectWrite(false);
        for (int i = 0; i < 10; ++i)
            log.WriteLog(TLogLevel::llInfo, Format(L"buffered %d", i));
        EXPECT_TRUE(ReadLines(LogPath(name)).empty());
        TDebugLog second(name, 0, L"p");
    }
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(RecordText(lines[9], 31), L"buffered 9");
}

TEST_F(DebugLogTest, SwitchingBackToDirectWriteFlushesTheBuffer) {
    std::wstring name = UniqueName(L"Direct");
    TDebugLog log(name, 0, L"p");
    log.SetDirectWrite(false);
    log.WriteLog(TLogLevel::llInfo, L"held");
    log.SetDirectWrite(true);
    EXPECT_EQ(ReadLines(LogPath(name)).size(), 1u);
}

TEST_F(DebugLogTest, AFolderThatCannotBeCreatedDropsLinesQuietly) {
    fs::path blocker = Folder / "file-not-folder";
    std::ofstream(blocker) << "x";
    SetLogDirectory(PathText(blocker / "Logs"));
    std::wstring name = UniqueName(L"NoFolder");
    TDebugLog log(name, 0, L"p");
    for (int i = 0; i < 3; ++i)
        EXPECT_NO_THROW(log.WriteLog(TLogLevel::llError, L"lost"));
    EXPECT_FALSE(fs::exists(blocker / "Logs"));
}

TEST_F(DebugLogTest, ConcurrentWritersKeepEveryLineWholeAndInThreadOrder) {
    std::wstring name = UniqueName(L"Concurrent");
    constexpr int threads = 6;
    constexpr int perThread = 300;
    {
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t)
            writers.emplace_back([&, t] {
                // Each thread has its own wrapper over the shared file, as the
                // units of the library do.
                TDebugLog log(name, 0, Format(L"writer%d", t));
                for (int i = 0; i < perThread; ++i) {
                    if (i % 50 == 0) {
                        log.Lock();
                        log.WriteLog(TLogLevel::llInfo, Format(L"%d group-a %d", t, i));
                        log.WriteLog(TLogLevel::llInfo, Format(L"%d group-b %d", t, i));
                        log.Unlock();
                        continue;
                    }
                    log.WriteLog(TLogLevel::llInfo, Format(L"%d line %d", t, i));
                }
            });
        for (auto& w : writers)
            w.join();
    }
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), static_cast<size_t>(threads * (perThread + perThread / 50)));
    std::vector<int> next(threads, 0);
    std::wregex record(LR"(^writer(\d) +(\d) (line|group-a|group-b) (\d+)$)");
    for (size_t k = 0; k < lines.size(); ++k) {
        std::wstring rest = ParseRecord(lines[k]).Rest;
        std::wsmatch m;
        ASSERT_TRUE(std::regex_match(rest, m, record)) << Narrow(lines[k]);
        int t = std::stoi(m[2].str());
        int i = std::stoi(m[4].str());
        ASSERT_EQ(std::stoi(m[1].str()), t);
        if (m[3] == L"group-a") {
            // A locked group is never split by another thread's line.
            ASSERT_LT(k + 1, lines.size());
            EXPECT_EQ(ParseRecord(lines[k + 1]).Rest.find(Format(L"%d group-b %d", t, i)) !=
                          std::wstring::npos,
                      true);
        }
        if (m[3] != L"group-b") {
            EXPECT_EQ(i, next[t]);
            next[t] = i + 1;
        }
    }
}

TEST_F(DebugLogTest, InstancesComeAndGoWhileOthersWrite) {
    std::wstring name = UniqueName(L"Churn");
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            TDebugLogFile* file = TDebugLogFile::GetLogInstance(name);
            file->WriteLog(3, L"churn ", L"x");
            TDebugLogFile::FreeLogInstance(file);
        }
    });
    {
        TDebugLog log(name, 0, L"steady");
        for (int i = 0; i < 200; ++i)
            log.WriteLog(TLogLevel::llInfo, Format(L"steady %d", i));
    }
    stop = true;
    churn.join();
    int steady = 0;
    for (auto& line : ReadLines(LogPath(name)))
        steady += ParseRecord(line).Rest.starts_with(L"steady") ? 1 : 0;
    EXPECT_EQ(steady, 200);
}

TEST(ErrorMessage, TextAndClassOfTheException) {
    EXPECT_EQ(ErrorMessage(nullptr), L"");
    EXPECT_EQ(ErrorMessage(std::make_exception_ptr(std::runtime_error("Unable to get trustika"))),
              L"Unable to get trustika");
    EXPECT_EQ(ErrorMessage(std::make_exception_ptr(std::runtime_error("\xC3\xBC"))), L"\u00FC");
    EXPECT_EQ(ErrorMessage(std::make_exception_ptr(42)), L"Unknown error");
    EXPECT_EQ(ErrorClassName(std::make_exception_ptr(std::runtime_error("x"))), L"runtime_error");
    EXPECT_EQ(ErrorClassName(std::make_exception_ptr(EAbort())), L"EAbort");
    EXPECT_EQ(ErrorClassName(nullptr), L"");
}

TEST(LogTime, FormatsYearToMilliseconds) {
    EXPECT_EQ(FormatLogTime({2024, 3, 7, 9, 5, 2, 41}), L"2024.03.07 09:05:02.041");
    EXPECT_EQ(FormatLogTime({1999, 12, 31, 23, 59, 59, 999}), L"1999.12.31 23:59:59.999");
}

} // namespace
} // namespace velmora::testing
