// The statistics log as the library's units use it, and the run header.
#include "LogTestKit.h"

#include "frame/DebugLog.h"
#include "frame/RunHeader.h"
#include "platform/Thread.h"

#include <gmock/gmock.h>

#include <stdexcept>
#include <thread>

namespace velmora::testing {

// The statistics log is one per process and keeps the folder of its first
// write: the whole program writes into one scratch folder.
class StatisticsFolder : public ::testing::Environment {
public:
    void SetUp() override {
        Folder = fs::temp_directory_path() / fs::path(UniqueName(L"velmora-statistics"));
        fs::create_directories(Folder);
        SetLogDirectory(Folder.wstring());
    }
    void TearDown() override {
        SetLogDirectory(L"");
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    static inline fs::path Folder;
};

namespace {

[[maybe_unused]] const auto* const Environment = ::testing::AddGlobalTestEnvironment(new StatisticsFolder);

using ::testing::ElementsAre;

std::streamoff FileEnd() {
    std::error_code error;
    auto size = fs::file_size(StatisticsLog::Instance().FileName(), error);
    return error ? 0 : static_cast<std::streamoff>(size);
}

// Texts of the records written since the file had the size from.
std::vector<std::wstring> TextsSince(std::streamoff from) {
    std::vector<std::wstring> texts;
    size_t prefix = StatisticsLog::Instance().ModuleName().size();
    for (auto& line : ReadLines(StatisticsLog::Instance().FileName(), from))
        texts.push_back(RecordText(line, prefix));
    return texts;
}

TEST(StatisticsLog, RecordsAndErrorsReachVelmoraStatisticsStopRequestsStaySilent) {
    EXPECT_EQ(fs::path(StatisticsLog::Instance().FileName()),
              StatisticsFolder::Folder / "VelmoraStatistics.log");
    auto from = FileEnd();
    StatisticsLog::Add(L"Delete Program: %s (%s)", L"Sample App", L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}");
    StatisticsLog::AddError(std::make_exception_ptr(EAbort()));
    StatisticsLog::AddError(nullptr);
    StatisticsLog::AddError(); // outside any handler
    try {
        throw std::out_of_range("index 7");
    } catch (...) {
        StatisticsLog::AddError();
    }
    EXPECT_THAT(TextsSince(from),
                ElementsAre(L"Delete Program: Sample App ({D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6})",
                            L"out_of_range: index 7"));
    auto lines = ReadLines(StatisticsLog::Instance().FileName(), from);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(ParseRecord(lines[0]).Level, L"INFO ");
    EXPECT_EQ(ParseRecord(lines[1]).Level, L"ERROR");
}

TEST(StatisticsLog, TheHeaderIsNotSplitByOtherThreads) {
    constexpr int resets = 30;
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    auto from = FileEnd();
    std::vector<std::thread> noise;
    for (int t = 0; t < 2; ++t)
        noise.emplace_back([&] {
            while (!stop) {
                StatisticsLog::Add(L"noise");
                ++written;
            }
        });
    while (written < 10)
        std::this_thread::yield();
    for (int i = 0; i < resets; ++i)
        StatisticsLog::Reset();
    stop = true;
    for (auto& t : noise)
        t.join();
    auto texts = TextsSince(from);
    std::wstring separator(80, L'-');
    int headers = 0;
    for (size_t k = 1; k < texts.size(); ++k) {
        if (!texts[k].starts_with(L"System info at "))
            continue;
        ++headers;
        ASSERT_EQ(texts[k - 1], separator);
        // Four separators frame the system information, one ends the header.
        int separators = 1;
        for (size_t n = k; n < texts.size() && separators < 5; ++n) {
            ASSERT_NE(texts[n], L"noise") << "header " << headers << " split at line " << n - k;
            separators += texts[n] == separator ? 1 : 0;
        }
        EXPECT_EQ(separators, 5);
    }
    EXPECT_EQ(headers, resets);
}

TEST(RunHeader, AFactThatCouldNotBeReadSkipsOnlyItsLine) {
    TRunHeaderInfo info;
    info.Time = L"2024.03.07 09:05:02.041";
    info.Version = L"Windows XP";
    info.ServicePack = L"";
    info.ModuleVersions = {{L"shlwapi.dll", 6, 1}};
    info.IsWow64Process = true;
    info.UserIsAdmin = false;
    info.ProgramVersion = L"1.2.3.4";
    std::vector<std::wstring> lines;
    WriteSystemInfo(info, [&](std::wstring_view line) { lines.emplace_back(line); });
    std::wstring separator(80, L'-');
    EXPECT_THAT(lines, ElementsAre(separator, L"System info at 2024.03.07 09:05:02.041.", separator,
                                   L"Version:        Windows XP", L"Service Pack:   ", L"shlwapi.dll: 6.1",
                                   L"IsWow64Process: True", separator, L"User is admin   : False",
                                   L"Program version : 1.2.3.4", separator));
}

} // namespace
} // namespace velmora::testing
