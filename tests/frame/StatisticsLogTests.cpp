// The statistics log and the diagnostic log as the library's units use them:
// records at llInfo reach the file, errors carry their class and message,
// aborts stay silent, and the run header comes in its fixed order, whole.
#include "LogTestKit.h"

#include "frame/DebugLog.h"
#include "frame/RunHeader.h"
#include "platform/Thread.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <regex>
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
        SetLogDirectory(PathText(Folder));
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

fs::path StatisticsFile() {
    return fs::path(StatisticsLog::Instance().FileName());
}

std::streamoff FileEnd() {
    std::error_code error;
    auto size = fs::file_size(StatisticsFile(), error);
    return error ? 0 : static_cast<std::streamoff>(size);
}

// Texts of the records written since the file had the size from.
std::vector<std::wstring> TextsSince(std::streamoff from) {
    std::vector<std::wstring> texts;
    size_t prefix = StatisticsLog::Instance().ModuleName().size();
    for (auto& line : ReadLines(StatisticsFile(), from))
        texts.push_back(RecordText(line, prefix));
    return texts;
}

TEST(StatisticsLog, IsVelmoraStatisticsInTheLogFolderWithTheLibraryPrefix) {
    EXPECT_EQ(StatisticsLog::Instance().LogName(), L"VelmoraStatistics");
    EXPECT_EQ(StatisticsFile(), StatisticsFolder::Folder / "VelmoraStatistics.log");
    std::wstring library = LibraryFileName();
    ASSERT_FALSE(library.empty());
    EXPECT_TRUE(StatisticsLog::Instance().ModuleName().starts_with(library));
}

TEST(StatisticsLog, RecordsWrittenByTheLibraryReachTheFile) {
    auto from = FileEnd();
    StatisticsLog::Add(L"");
    StatisticsLog::Add(L"Detect changes in location \"%s\".", L"TLocationRegistryUninstall");
    StatisticsLog::Add(L"");
    StatisticsLog::Add(L"Delete Program: %s (%s)", L"Sample App", L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}");
    EXPECT_THAT(TextsSince(from),
                ElementsAre(L"", L"Detect changes in location \"TLocationRegistryUninstall\".", L"",
                            L"Delete Program: Sample App ({D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6})"));
    for (auto& line : ReadLines(StatisticsFile(), from))
        EXPECT_EQ(ParseRecord(line).Level, L"INFO ");
}

TEST(StatisticsLog, AddErrorWritesTheErrorsClassAndMessage) {
    auto from = FileEnd();
    StatisticsLog::AddError(std::make_exception_ptr(std::runtime_error("Unable to get trustika")));
    try {
        throw std::out_of_range("index 7");
    } catch (...) {
        StatisticsLog::AddError();
    }
    auto lines = ReadLines(StatisticsFile(), from);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(ParseRecord(lines[0]).Level, L"ERROR");
    EXPECT_THAT(TextsSince(from),
                ElementsAre(L"runtime_error: Unable to get trustika", L"out_of_range: index 7"));
}

TEST(StatisticsLog, AStopRequestOrNoErrorWritesNothing) {
    auto from = FileEnd();
    StatisticsLog::AddError(std::make_exception_ptr(EAbort()));
    StatisticsLog::AddError(nullptr);
    StatisticsLog::AddError(); // outside any handler
    EXPECT_TRUE(TextsSince(from).empty());
}

TEST(StatisticsLog, ResetWritesTheHeaderFramedBySeparators) {
    auto from = FileEnd();
    StatisticsLog::Reset();
    auto texts = TextsSince(from);
    ASSERT_GE(texts.size(), 6u);
    std::wstring separator(80, L'-');
    EXPECT_EQ(texts[0], separator);
    EXPECT_TRUE(std::regex_match(texts[1],
                                 std::wregex(LR"(System info at \d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\.\d{3}\.)")))
        << Narrow(texts[1]);
    EXPECT_EQ(texts[2], separator);
    EXPECT_EQ(texts.back(), separator);
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
        // Four separators frame the system information, one ends the header;
        // no other thread's line comes in between.
        int separators = 1;
        size_t n = k;
        for (; n < texts.size() && separators < 5; ++n) {
            ASSERT_NE(texts[n], L"noise") << "header " << headers << " split at line " << n - k;
            separators += texts[n] == separator ? 1 : 0;
        }
        EXPECT_EQ(separators, 5);
    }
    EXPECT_EQ(headers, resets);
}

TEST(DiagnosticLog, IsNamedAfterTheHostExecutable) {
    std::wstring host = HostProgramName();
    EXPECT_TRUE(host.starts_with(L"frame_statistics_tests")) << Narrow(host);
    EXPECT_EQ(host.find(L'.'), std::wstring::npos);
    EXPECT_EQ(DebugLog().LogName(), host);
    EXPECT_EQ(DebugLog().ModuleName().substr(0, LibraryFileName().size()), LibraryFileName());
}

TEST(RunHeader, SystemInformationInItsFixedOrder) {
    TRunHeaderInfo info;
    info.Time = L"2024.03.07 09:05:02.041";
    info.Version = L"Windows 7";
    info.Architecture = L"x64";
    info.ServicePack = L"Service Pack 1";
    info.Edition = L"Ultimate";
    info.ModuleVersions = {{L"shlwapi.dll", 6, 1}, {L"comctl32.dll", 5, 82}};
    info.IsWow64Process = false;
    info.UserName = L"tester";
    info.UserIsAdmin = true;
    info.ProductVersion = L"5.0.0.0";
    info.ProgramVersion = L"1.2.3.4";
    std::vector<std::wstring> lines;
    WriteSystemInfo(info, [&](std::wstring_view line) { lines.emplace_back(line); });
    std::wstring separator(80, L'-');
    EXPECT_THAT(lines, ElementsAre(separator, L"System info at 2024.03.07 09:05:02.041.", separator,
                                   L"Version:        Windows 7", L"Architecture:   x64",
                                   L"Service Pack:   Service Pack 1", L"Edition:        Ultimate",
                                   L"shlwapi.dll: 6.1", L"comctl32.dll: 5.82", L"IsWow64Process: False",
                                   separator, L"User name       : tester", L"User is admin   : True",
                                   L"Product version : 5.0.0.0", L"Program version : 1.2.3.4", separator));
}

TEST(RunHeader, AFactThatCouldNotBeReadSkipsOnlyItsLine) {
    TRunHeaderInfo info;
    info.Time = L"2024.03.07 09:05:02.041";
    info.Version = L"Windows XP";
    info.ServicePack = L"";
    info.UserIsAdmin = false;
    std::vector<std::wstring> lines;
    WriteSystemInfo(info, [&](std::wstring_view line) { lines.emplace_back(line); });
    std::wstring separator(80, L'-');
    EXPECT_THAT(lines, ElementsAre(separator, L"System info at 2024.03.07 09:05:02.041.", separator,
                                   L"Version:        Windows XP", L"Service Pack:   ", separator,
                                   L"User is admin   : False", separator));
}

} // namespace
} // namespace velmora::testing
