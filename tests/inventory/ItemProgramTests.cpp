// Program items: the library-wide program list and its re-read marks, the
// rarely used list, and the portable rules (the Add/Remove Programs cache
// record, the size job, missing commands).
#include "InventoryTestKit.h"

#include "inventory/ItemProgram.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace velmora {
namespace {

using testkit::TStatisticsLogReader;

class TProgram : public TItemProgram {
public:
    TProgram(TTypeUninstallLocation* location, std::wstring guid, std::wstring name)
        : TItemProgram(location) {
        FGUID = std::move(guid);
        FDisplayNameNative = std::move(name);
    }
    using TItemProgram::ApplySlowInfoCache;
    using TItemProgram::FEstimatedSize;
    using TItemProgram::FLastUsedDate;
    using TItemProgram::FSlowExePath;
    using TItemProgram::FUsedFrequencyCount;

    void NeedSlowInfo() { FIsNeedReadSlowInfo = true; }
    // The date the slow pass finds (stands for the usage sources).
    double LastUsedFound = 0;

protected:
    void ReadFastData() override {}
    void DoReadExtendedInfo() override {}
    void DoReadImages() override {}
    void DoReadSlowInfo() override { FLastUsedDate = LastUsedFound; }
};

class TPlainLocation : public TTypeUninstallLocation {};

class ProgramList : public ::testing::Test {
protected:
    void SetUp() override { TItemProgram::Init(); }
    void TearDown() override { TItemProgram::Done(); }

    std::shared_ptr<TProgram> Add(TTypeUninstallLocation* location, const wchar_t* guid,
                                  const wchar_t* name) {
        auto item = std::make_shared<TProgram>(location, guid, name);
        TItemProgram::Items().Add(item);
        return item;
    }
    TPlainLocation FirstLocation, SecondLocation;
};

TEST_F(ProgramList, ItemByGUIDNameMatchesBothWithoutCaseAndOnlyInItsLocation) {
    auto alpha = Add(&FirstLocation, L"{ab-cd}", L"Alpha Tool");
    auto other = Add(&SecondLocation, L"{ab-cd}", L"Alpha Tool");

    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{AB-CD}", L"ALPHA tool", &FirstLocation), alpha);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool", &SecondLocation), other);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool 2", &FirstLocation), nullptr);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-ce}", L"Alpha Tool", &FirstLocation), nullptr);
}

TEST_F(ProgramList, ReReadRemovesWhatWasNotFoundAgainAndLogsIt) {
    auto kept = Add(&FirstLocation, L"{K}", L"Kept");
    std::weak_ptr<TProgram> gone = Add(&FirstLocation, L"{G}", L"Gone Program");
    auto elsewhere = Add(&SecondLocation, L"{E}", L"Elsewhere");
    elsewhere->SetMarked(true); // another location's marks are not touched

    TStatisticsLogReader log;
    TItemProgram::MarkAllFrom(&FirstLocation);
    EXPECT_TRUE(kept->Marked());
    TItemProgram::ItemByGUIDName(L"{K}", L"Kept", &FirstLocation)->SetMarked(false);
    TItemProgram::RemoveMarked(&FirstLocation);

    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(TItemProgram::Items().Count(), 2);
    EXPECT_TRUE(TItemProgram::Items().Any([&](TItemProgram& p) { return &p == kept.get(); }));
    EXPECT_TRUE(TItemProgram::Items().Any([&](TItemProgram& p) { return &p == elsewhere.get(); }));
    EXPECT_TRUE(log.Contains(L"Delete Program: Gone Program ({G})"));
    EXPECT_FALSE(log.Contains(L"Delete Program: Kept"));
    EXPECT_FALSE(log.Contains(L"Delete Program: Elsewhere"));
}

TEST_F(ProgramList, SlowPassKeepsTheRarelyUsedListInStep) {
    auto old = Add(&FirstLocation, L"{O}", L"Old");
    auto never = Add(&FirstLocation, L"{N}", L"Never used");
    auto recent = Add(&FirstLocation, L"{R}", L"Recent");
    const double now = NowOleDate();
    old->LastUsedFound = now - 183;
    recent->LastUsedFound = now - 10;
    for (auto* item : {old.get(), never.get(), recent.get()})
        item->ReadSlowInfo();

    auto& unused = TItemProgram::UnusedItems();
    EXPECT_EQ(&unused.Lock(), &TItemProgram::Items().Lock()) << "one lock for both lists";
    EXPECT_EQ(unused.Count(), 1);
    EXPECT_TRUE(unused.Contains(old.get()));

    // Used again: the next slow pass takes it off the list.
    old->LastUsedFound = now - 1;
    old->NeedSlowInfo();
    old->ReadSlowInfo();
    EXPECT_FALSE(unused.Contains(old.get()));
    EXPECT_EQ(unused.Count(), 0);

    auto again = std::make_shared<TProgram>(&FirstLocation, L"{O2}", L"Old again");
    TItemProgram::Items().Add(again);
    again->LastUsedFound = now - 200;
    again->ReadSlowInfo();
    EXPECT_TRUE(unused.Contains(again.get()));
    // Destroying a program takes it off both lists.
    const TItemProgram* raw = again.get();
    TItemProgram::Items().Remove(raw);
    again.reset();
    EXPECT_FALSE(unused.Contains(raw));
    EXPECT_EQ(unused.Count(), 0);
}

TEST(RarelyUsed, CountsWholeDaysAndNeedsADate) {
    const double now = 46000.5;
    const std::pair<double, bool> cases[] = {{now - 183, true},  {now - 200.9, true}, {now - 182.9, false},
                                             {now - 182, false}, {0.0, false},        {-5.0, false}};
    for (auto [lastUsed, rarely] : cases)
        EXPECT_EQ(IsRarelyUsed(lastUsed, now), rarely) << now - lastUsed << " days";
}

// --- the Add/Remove Programs cache record ------------------------------------

TEST(SlowInfoCache, ParsesOnlyARecordOfExactSize) {
    auto data = testkit::CacheRecord(1, 0x1'2345'6789, 0x01D7'0000'1234'5678, 17, L"C:\\Tools\\alpha.exe");
    auto cache = ParseSlowInfoCache(data);
    ASSERT_TRUE(cache);
    EXPECT_TRUE(cache->HasName);
    EXPECT_EQ(cache->InstallSize, 0x1'2345'6789);
    EXPECT_EQ(cache->LastUsed, 0x01D7'0000'1234'5678u);
    EXPECT_EQ(cache->UseCount, 17);
    EXPECT_EQ(cache->FileName, L"C:\\Tools\\alpha.exe");

    auto negative = ParseSlowInfoCache(testkit::CacheRecord(0, -1, 0, -1, L""));
    ASSERT_TRUE(negative);
    EXPECT_FALSE(negative->HasName);
    EXPECT_EQ(negative->InstallSize, -1);
    EXPECT_EQ(negative->UseCount, -1);

    data.push_back(0);
    EXPECT_FALSE(ParseSlowInfoCache(data)) << "a record of another size is ignored";
    data.resize(551);
    EXPECT_FALSE(ParseSlowInfoCache(data));
}

TEST_F(ProgramList, CacheFillsOnlyWhatIsMissingOrOlder) {
    auto item = Add(&FirstLocation, L"{C}", L"Cached");
    TSlowInfoCache cache{
        .HasName = true, .InstallSize = 5000, .LastUsed = 1, .UseCount = 7, .FileName = L"c:\\a.exe"};
    item->ApplySlowInfoCache(cache, 45000);
    EXPECT_EQ(item->FEstimatedSize, 5000);
    EXPECT_EQ(item->FSlowExePath, L"c:\\a.exe");
    EXPECT_EQ(item->FUsedFrequencyCount, 7);
    EXPECT_EQ(item->FLastUsedDate, 45000);

    TSlowInfoCache older{
        .HasName = true, .InstallSize = 9, .LastUsed = 1, .UseCount = 3, .FileName = L"c:\\b.exe"};
    item->ApplySlowInfoCache(older, 44000);
    EXPECT_EQ(item->FEstimatedSize, 5000);
    EXPECT_EQ(item->FSlowExePath, L"c:\\a.exe");
    EXPECT_EQ(item->FUsedFrequencyCount, 7);
    EXPECT_EQ(item->FLastUsedDate, 45000);

    auto unnamed = Add(&FirstLocation, L"{U}", L"Unnamed");
    unnamed->FEstimatedSize = -1;
    unnamed->ApplySlowInfoCache({.HasName = false, .InstallSize = 77, .FileName = L"c:\\x.exe"}, 0);
    EXPECT_EQ(unnamed->FEstimatedSize, 77);
    EXPECT_EQ(unnamed->FSlowExePath, L"");
    EXPECT_EQ(unnamed->FUsedFrequencyCount, 0);
    EXPECT_EQ(unnamed->FLastUsedDate, 0);
}

// --- the size job -----------------------------------------------------------------

TEST(SizeJob, OnlyUnmeasuredFoldersOutsideTheSystemAndProgramsRoots) {
    const std::tuple<int64_t, const wchar_t*, bool> cases[] = {
        {0, L"C:\\Program Files\\App\\", true},       {-1, L"D:\\Games\\Game", true},
        {0, L"C:\\WindowsApps\\Tool\\", true}, // a sibling of the Windows folder
        {4096, L"C:\\Program Files\\App\\", false},   {0, L"D:\\", false},
        {0, L"c:\\windows\\System32\\Tool\\", false}, {0, L"C:\\PROGRAM FILES\\", false},
        {0, L"c:\\program files (x86)", false},
    };
    for (auto [size, folder, expected] : cases)
        EXPECT_EQ(
            NeedsSizeJob(size, folder, L"C:\\Windows", L"C:\\Program Files", L"C:\\Program Files (x86)\\"),
            expected)
            << Narrow(folder) << " " << size;
}

// --- missing commands ----------------------------------------------------------

TEST(CommandMissing, OnlyAProgramWithAFolderThatIsNotThereIsMissing) {
    std::vector<std::wstring> files = {L"C:\\App\\unins000.exe", L"C:\\Program Files\\App\\remove.exe"};
    auto exists = [&](const std::wstring& path) {
        return std::find(files.begin(), files.end(), path) != files.end();
    };
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"", false},
        {L"\"C:\\Program Files\\App\\remove.exe\" /S", false},
        {L"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", false},
        {L"rundll32.exe setupapi.dll,InstallHinfSection", false},
        {L"C:\\Gone\\unins000.exe", true},
        {L"\"C:\\Program Files\\Gone\\remove.exe\" /S", true},
        {L"C:\\App\\other.exe /uninstall", true},
    };
    for (auto [command, missing] : cases)
        EXPECT_EQ(IsCommandMissing(command, exists), missing) << Narrow(command);
}

} // namespace
} // namespace velmora
