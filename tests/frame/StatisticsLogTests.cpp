// The statistics log as the library's units use it, and the run header.
#include "LogTestKit.h"

#include "frame/RunHeader.h"
#include "platform/Thread.h"
#include "tests/Polling.h"
#include "tests/SnapshotKit.h"
#include "tests/TestThread.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

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

// The uninstall registry as a walk made up here reads it: each place holds
// one entry named after the place's position.
std::shared_ptr<TRegistrySnapshot> MadeUpWalk(std::function<void(const TRegistryKey&)> onWalk = {}) {
    return std::make_shared<TRegistrySnapshot>([onWalk](const TRegistryKey& place, const TRegDescend&) {
        if (onWalk)
            onWalk(place);
        const auto places = UninstallRegistryPlaces();
        const auto index = std::find_if(places.begin(), places.end(),
                                        [&](const TRegistryKey& p) { return p.SameKey(place); }) -
                           places.begin();
        return SnapshotKey(L"Uninstall", {},
                           {SnapshotKey(L"Entry" + std::to_wstring(index),
                                        {{L"DisplayName", RegTypeString, Utf16(L"App")}})});
    });
}

std::wstring EntryText(size_t index) {
    const TRegistryKey place = UninstallRegistryPlaces().at(index);
    return RegistryKeyToStr(place.View, place.Root, place.Path + L"\\Entry" + std::to_wstring(index));
}

TEST(RunHeader, DumpShowsStringsNumbersAndListsOfEachKeyTheWalkReadDepthFirst) {
    std::vector<uint8_t> languages = Utf16(L"en-US");
    auto second = Utf16(L"de-DE");
    languages.insert(languages.end(), second.begin(), second.end());
    languages.insert(languages.end(), {0, 0});
    auto notWalked = std::make_shared<TRegKeySnapshot>();
    notWalked->Name = L"Unread";
    auto key = SnapshotKey(L"App",
                           {{L"DisplayName", RegTypeString, Utf16(L"Sample \"App\"")},
                            {L"Blob", RegTypeBinary, {1, 2}},
                            {L"EstimatedSize", RegTypeNumber, {42, 0, 0, 0}},
                            {L"Broken", RegTypeNumber, {1, 2, 3}},
                            {L"Path", RegTypeExpandString, Utf16(L"%SystemRoot%")},
                            {L"Languages", RegTypeMultiString, languages}},
                           {notWalked, SnapshotKey(L"Child", {{L"Note", RegTypeString, Utf16(L"nested")}})});
    const TRegistryKey name{TRegView::x32, TRegRoot::CurrentUser, L"Software\\Uninstall\\App"};
    std::vector<std::wstring> lines;
    DumpRegistryKey(*key, name, [&](std::wstring_view line) { lines.emplace_back(line); });
    EXPECT_THAT(lines, ElementsAre(L"(x32)HKEY_CURRENT_USER\\Software\\Uninstall\\App",
                                   L"DisplayName (REG_SZ) = \"Sample \"App\"\"",
                                   L"EstimatedSize (REG_DWORD) = \"42\"",
                                   L"Languages (REG_MULTISZ) = \"en-US, de-DE\"", L"",
                                   L"(x32)HKEY_CURRENT_USER\\Software\\Uninstall\\App\\Child",
                                   L"Note (REG_SZ) = \"nested\"", L""));
}

// The run header reads the registry through the reading run's walk, which
// the readers after it share: each place is walked once. Reading it takes
// long: meanwhile other threads write to the statistics log; the header
// follows in one piece.
TEST(RunHeader, HeaderDumpsThePlacesInOrderFromTheWalkItSharesWhileOthersLog) {
    std::vector<std::wstring> walked;
    std::promise<void> walking, release;
    auto released = release.get_future().share();
    auto walk = MadeUpWalk([&](const TRegistryKey& place) {
        walked.push_back(place.Text());
        if (walked.size() == 1) {
            walking.set_value();
            released.wait();
        }
    });
    auto from = StatisticsFileEnd();
    std::thread reader([&] {
        TRegistrySnapshot::TScope scope(walk);
        StatisticsLog::Reset();
    });
    walking.get_future().wait();
    auto other = std::async(std::launch::async,
                            [] { StatisticsLog::Add(L"logged while the header reads the registry"); });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    release.set_value();
    reader.join();

    auto texts = StatisticsTextsSince(from);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), L"logged while the header reads the registry");
    const auto places = UninstallRegistryPlaces();
    ASSERT_FALSE(places.empty());
    std::vector<ptrdiff_t> at;
    for (size_t i = 0; i < places.size(); ++i) {
        at.push_back(std::find(texts.begin(), texts.end(), places[i].Text()) - texts.begin());
        EXPECT_EQ(texts.at(at.back() + 2), EntryText(i));
        EXPECT_EQ(texts.at(at.back() + 3), L"DisplayName (REG_SZ) = \"App\"");
    }
    EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
    EXPECT_EQ(texts.at(at.front() - 1), Separator);
    EXPECT_EQ(texts.back(), Separator);
    EXPECT_EQ(walked.size(), places.size());
    for (const auto& place : places)
        EXPECT_NE(walk->Read(place), nullptr);
    EXPECT_EQ(walked.size(), places.size());
}

// A stop request ends the header: before the registry is read nothing is
// written; once it is read, the dump ends at the next key. The abort passes on.
TEST(RunHeader, AReadingRunAskedToStopEndsItsHeaderAtTheNextKey) {
    auto from = StatisticsFileEnd();
    auto walk = MadeUpWalk();
    EXPECT_TRUE(AbortsWhenStopped([&] {
        TRegistrySnapshot::TScope scope(walk);
        StatisticsLog::Reset();
    }));
    EXPECT_THAT(StatisticsTextsSince(from), ::testing::IsEmpty());

    const size_t last = UninstallRegistryPlaces().size() - 1;
    std::shared_ptr<TRegistrySnapshot> stoppedAfterWalk;
    TFunctionThread late([&] {
        TRegistrySnapshot::TScope scope(stoppedAfterWalk);
        StatisticsLog::Reset();
    });
    stoppedAfterWalk = MadeUpWalk([&](const TRegistryKey& place) {
        if (place.SameKey(UninstallRegistryPlaces()[last]))
            late.Terminate();
    });
    late.Start();
    late.WaitFor();
    EXPECT_TRUE(late.Aborted);
    auto texts = StatisticsTextsSince(from);
    EXPECT_THAT(texts, ::testing::Contains(::testing::StartsWith(L"System info at ")));
    for (size_t i = 0; i <= last; ++i)
        EXPECT_THAT(texts, ::testing::Not(::testing::Contains(EntryText(i))));
}

} // namespace
} // namespace velmora::testing
