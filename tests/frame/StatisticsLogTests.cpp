// The statistics log as the library's units use it, and the run header.
#include "LogTestKit.h"

#include "frame/RunHeader.h"
#include "platform/Thread.h"

#include <gmock/gmock.h>

#include <memory>
#include <stdexcept>

namespace velmora::testing {
namespace {

// The statistics log is one per process and keeps the folder of its first
// write: the whole program writes into one scratch folder.
class StatisticsFolder : public ::testing::Environment {
public:
    void SetUp() override { Scratch = std::make_unique<TScratchLogFolder>(L"velmora-statistics"); }
    void TearDown() override { Scratch.reset(); }
    static inline std::unique_ptr<TScratchLogFolder> Scratch;
};
[[maybe_unused]] const auto* const Environment = ::testing::AddGlobalTestEnvironment(new StatisticsFolder);

using ::testing::ElementsAre;
const std::wstring Separator(80, L'-');

TEST(StatisticsLog, RecordsAndErrorsReachVelmoraStatisticsStopRequestsStaySilent) {
    EXPECT_EQ(fs::path(StatisticsLog::Instance().FileName()),
              StatisticsFolder::Scratch->Folder / "VelmoraStatistics.log");
    auto from = StatisticsFileEnd();
    StatisticsLog::Add(L"Delete Program: %s (%s)", L"Sample App", L"{D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6}");
    StatisticsLog::AddError(std::make_exception_ptr(EAbort()));
    try {
        throw std::out_of_range("index 7");
    } catch (...) {
        StatisticsLog::AddError();
    }
    EXPECT_THAT(StatisticsTextsSince(from),
                ElementsAre(L"Delete Program: Sample App ({D4C3B2A1-F6E5-B8A7-C9D0-E1F2A3B4C5D6})",
                            L"out_of_range: index 7"));
    auto lines = ReadLines(StatisticsLog::Instance().FileName(), from);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(L"] INFO "), std::wstring::npos) << Narrow(lines[0]);
    EXPECT_NE(lines[1].find(L"] ERROR "), std::wstring::npos) << Narrow(lines[1]);
}

TEST(RunHeader, AFactThatCouldNotBeReadSkipsOnlyItsLine) {
    TRunHeaderInfo info{.Time = L"2024.03.07 09:05:02.041",
                        .Version = L"Windows XP",
                        .ServicePack = L"",
                        .ModuleVersions = {{L"shlwapi.dll", 6, 1}},
                        .IsWow64Process = true,
                        .UserIsAdmin = false,
                        .ProgramVersion = L"1.2.3.4"};
    std::vector<std::wstring> lines;
    WriteSystemInfo(info, [&](std::wstring_view line) { lines.emplace_back(line); });
    EXPECT_THAT(lines, ElementsAre(Separator, L"System info at 2024.03.07 09:05:02.041.", Separator,
                                   L"Version:        Windows XP", L"Service Pack:   ", L"shlwapi.dll: 6.1",
                                   L"IsWow64Process: True", Separator, L"User is admin   : False",
                                   L"Program version : 1.2.3.4", Separator));
}

} // namespace
} // namespace velmora::testing
