// The log wrapper and the log-file service behind it.
#include "LogTestKit.h"

#include "platform/LogFile.h"
#include "platform/Text.h"

#include <gmock/gmock.h>

#include <regex>
#include <stdexcept>
#include <thread>

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;

TEST_F(DebugLogTest, RecordLayoutLevelsAndNesting) {
    std::wstring name = UniqueName(L"Layout");
    {
        TDebugLog log(name, 0, L"VelmoraHelper.dll");
        EXPECT_EQ(log.FileName(), LogPath(name).wstring());
        log.WriteLog(TLogLevel::llWarning, L"first record", L"TItemProgram");
        log.WriteLog(TLogLevel::llInfo, L"one\r\ntwo\nthree \u00FC\u65E5");
        log.SetLogLevel(TLogLevel::llWarning);
        log.LogValue(TLogLevel::llInfo, L"info", L"1");
        log.SetLogLevel(TLogLevel::llInfo);
        log.BeginProc(TLogLevel::llInfo, L"ReadPrograms");
        std::thread([&] { log.WriteLog(TLogLevel::llInfo, L"other thread"); }).join();
        log.BeginNesting();
        log.LogError(TLogLevel::llError, L"Failed", std::make_exception_ptr(std::runtime_error("boom")));
        log.EndNesting();
        log.EndProc(TLogLevel::llInfo, L"ReadPrograms");
        log.EndNesting(); // more ends than begins never indent backwards
        log.LogValues(TLogLevel::llInfo, {{L"a", L"1"}, {L"b", L"2"}});
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
    auto lines = ReadLines(LogPath(name));
    ASSERT_EQ(lines.size(), 7u);
    std::wregex layout(
        LR"(^\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[ *\d+\] (INFO |WARN |ERROR) (.*)$)");
    for (auto& line : lines)
        EXPECT_TRUE(std::regex_match(line, layout)) << Narrow(line);
    auto texts = RecordTexts(LogPath(name), 0);
    EXPECT_EQ(texts[0], L"VelmoraHelper.dll              TItemProgram: first record");
    texts = RecordTexts(LogPath(name));
    EXPECT_THAT(std::vector(texts.begin() + 1, texts.end()),
                ElementsAre(L"one  two three \u00FC\u65E5", L"Begin ReadPrograms", L"other thread",
                            L"    Failed: runtime_error: boom", L"End ReadPrograms", L"a = 1, b = 2"));
}

TEST_F(DebugLogTest, RotatesToDotOneKeepingTheNewestLinesInOrder) {
    std::wstring name = UniqueName(L"Rotation");
    constexpr int64_t maxSize = 2000;
    constexpr int count = 120;
    {
        TDebugLog log(name, maxSize, L"p");
        for (int i = 0; i < count; ++i)
            log.WriteLog(TLogLevel::llInfo, Format(L"line %d", i));
    }
    fs::path previous = Folder / fs::path(name + L".1.log");
    ASSERT_TRUE(fs::exists(previous));
    EXPECT_LE(fs::file_size(LogPath(name)), static_cast<uintmax_t>(maxSize));
    EXPECT_LE(fs::file_size(previous), static_cast<uintmax_t>(maxSize));
    auto all = RecordTexts(previous), newer = RecordTexts(LogPath(name));
    ASSERT_FALSE(newer.empty());
    all.insert(all.end(), newer.begin(), newer.end());
    EXPECT_LT(all.size(), static_cast<size_t>(count));
    int first = count - static_cast<int>(all.size());
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i], Format(L"line %d", first + static_cast<int>(i)));
}

// Writers with wrappers of their own over the shared file, as the library's
// units have, while other users open and free the file.
TEST_F(DebugLogTest, ConcurrentWritersKeepLinesWholeInThreadOrderAndLockedGroupsTogether) {
    std::wstring name = UniqueName(L"Concurrent");
    constexpr int threads = 6, perThread = 300;
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop)
            TDebugLogFile::FreeLogInstance(TDebugLogFile::GetLogInstance(name));
    });
    {
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t)
            writers.emplace_back([&, t] {
                TDebugLog log(name, 0, Format(L"writer%d", t));
                for (int i = 0; i < perThread; ++i) {
                    bool group = i % 50 == 0;
                    if (group)
                        log.Lock();
                    log.WriteLog(TLogLevel::llInfo, Format(group ? L"%d group-a %d" : L"%d line %d", t, i));
                    if (group) {
                        log.WriteLog(TLogLevel::llInfo, Format(L"%d group-b %d", t, i));
                        log.Unlock();
                    }
                }
            });
        for (auto& w : writers)
            w.join();
    }
    stop = true;
    churn.join();
    auto lines = RecordTexts(LogPath(name), 0);
    ASSERT_EQ(lines.size(), static_cast<size_t>(threads * (perThread + perThread / 50)));
    std::vector<int> next(threads, 0);
    std::wregex record(LR"(^writer(\d) +(\d) (line|group-a|group-b) (\d+)$)");
    for (size_t k = 0; k < lines.size(); ++k) {
        std::wsmatch m;
        ASSERT_TRUE(std::regex_match(lines[k], m, record)) << Narrow(lines[k]);
        int t = std::stoi(m[2].str()), i = std::stoi(m[4].str());
        ASSERT_EQ(std::stoi(m[1].str()), t);
        if (m[3] == L"group-a") {
            ASSERT_LT(k + 1, lines.size());
            EXPECT_TRUE(lines[k + 1].ends_with(Format(L"%d group-b %d", t, i)));
        }
        if (m[3] != L"group-b") {
            EXPECT_EQ(i, next[t]);
            next[t] = i + 1;
        }
    }
}

} // namespace
} // namespace velmora::testing
