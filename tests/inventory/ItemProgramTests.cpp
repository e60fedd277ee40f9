// Program items: the library-wide program list and its re-read marks, the
// rarely used list, the information indices of programs, and the portable
// rules (the Add/Remove Programs cache record, missing commands).
#include "InventoryTestKit.h"

#include "inventory/ItemProgram.h"

#include <gtest/gtest.h>

#include <cstring>
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
    using TItemProgram::FRegisteredCompany;
    using TItemProgram::FRegisteredOwner;
    using TItemProgram::FSlowExePath;
    using TItemProgram::FSoftwareRating;
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

TEST_F(ProgramList, ANewProgramHasTheDefaultIconAndNoData) {
    auto item = Add(&FirstLocation, L"{A}", L"Alpha");
    EXPECT_EQ(item->IconIndex(), 3);
    EXPECT_EQ(item->FSoftwareRating, TSoftwareRating::stUnknown);
    EXPECT_EQ(item->FUsedFrequencyCount, -1);
    EXPECT_FALSE(item->Marked());
}

TEST_F(ProgramList, ItemByGUIDNameMatchesBothWithoutCaseAndOnlyInItsLocation) {
    auto alpha = Add(&FirstLocation, L"{ab-cd}", L"Alpha Tool");
    auto other = Add(&SecondLocation, L"{ab-cd}", L"Alpha Tool");

    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{AB-CD}", L"ALPHA tool", &FirstLocation), alpha);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool", &SecondLocation), other);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool 2", &FirstLocation), nullptr);
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-ce}", L"Alpha Tool", &FirstLocation), nullptr);
    TPlainLocation third;
    EXPECT_EQ(TItemProgram::ItemByGUIDName(L"{ab-cd}", L"Alpha Tool", &third), nullptr);
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
    EXPECT_TRUE(IsRarelyUsed(now - 183, now));
    EXPECT_TRUE(IsRarelyUsed(now - 200.9, now));
    EXPECT_FALSE(IsRarelyUsed(now - 182.9, now)); // 182 whole days
    EXPECT_FALSE(IsRarelyUsed(now - 182, now));
    EXPECT_FALSE(IsRarelyUsed(0, now));
    EXPECT_FALSE(IsRarelyUsed(-5, now));
}

TEST_F(ProgramList, ProgramInformationIndices) {
    auto item = Add(&FirstLocation, L"{GUID-1}", L"Alpha");
    item->FRegisteredOwner = L"Owner";
    item->FRegisteredCompany = L"Company";
    item->FLastUsedDate = 45000.25;
    item->FSoftwareRating = TSoftwareRating::stRisky;
    EXPECT_EQ(item->GetInfo(15), TInfoValue(std::wstring(L"Owner")));
    EXPECT_EQ(item->GetInfo(16), TInfoValue(std::wstring(L"Company")));
    EXPECT_EQ(item->GetInfo(17), TInfoValue(std::wstring(L"{GUID-1}")));
    EXPECT_EQ(item->GetInfo(18), TInfoValue(std::wstring()));
    EXPECT_EQ(item->GetInfo(19), TInfoValue(TInfoDate{45000.25}));
    EXPECT_EQ(item->GetInfo(21), TInfoValue(int32_t(2)));
    EXPECT_EQ(item->GetInfo(22), TInfoValue());
    // The usage class follows the count.
    const std::pair<int32_t, TUsedType> classes[] = {
        {-1, TUsedType::utNone},       {0, TUsedType::utRarely},       {4, TUsedType::utRarely},
        {5, TUsedType::utOccasionaly}, {10, TUsedType::utOccasionaly}, {11, TUsedType::utFrequently}};
    for (auto [count, type] : classes) {
        item->FUsedFrequencyCount = count;
        EXPECT_EQ(item->GetInfo(20), TInfoValue(static_cast<int32_t>(type))) << count;
    }
}

// --- the Add/Remove Programs cache record ------------------------------------

template <class T> void Put(std::vector<uint8_t>& data, size_t offset, T value) {
    for (size_t i = 0; i < sizeof(T); ++i)
        data[offset + i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}

std::vector<uint8_t> CacheRecord(uint32_t hasName, int64_t size, uint64_t lastUsed, int32_t count,
                                 const std::wstring& name) {
    std::vector<uint8_t> data(552, 0);
    Put<uint32_t>(data, 0, 552);
    Put(data, 4, hasName);
    Put(data, 8, size);
    Put(data, 16, lastUsed);
    Put(data, 24, count);
    for (size_t i = 0; i < name.size(); ++i)
        Put<uint16_t>(data, 28 + 2 * i, static_cast<uint16_t>(name[i]));
    return data;
}

TEST(SlowInfoCache, ParsesTheRecordOfExactSize) {
    auto data = CacheRecord(1, 0x1'2345'6789, 0x01D7'0000'1234'5678, 17, L"C:\\Tools\\alpha.exe");
    auto cache = ParseSlowInfoCache(data);
    ASSERT_TRUE(cache);
    EXPECT_TRUE(cache->HasName);
    EXPECT_EQ(cache->InstallSize, 0x1'2345'6789);
    EXPECT_EQ(cache->LastUsed, 0x01D7'0000'1234'5678u);
    EXPECT_EQ(cache->UseCount, 17);
    EXPECT_EQ(cache->FileName, L"C:\\Tools\\alpha.exe");

    auto negative = ParseSlowInfoCache(CacheRecord(0, -1, 0, -1, L""));
    ASSERT_TRUE(negative);
    EXPECT_FALSE(negative->HasName);
    EXPECT_EQ(negative->InstallSize, -1);
    EXPECT_EQ(negative->UseCount, -1);
}

TEST(SlowInfoCache, ANameFillingTheFieldStopsAtItsEnd) {
    std::wstring longName(300, L'x');
    auto data = CacheRecord(1, 0, 0, 0, longName.substr(0, 262));
    auto cache = ParseSlowInfoCache(data);
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->FileName, std::wstring(262, L'x'));
}

TEST(SlowInfoCache, OtherSizesAreIgnored) {
    auto data = CacheRecord(1, 10, 0, 1, L"a.exe");
    data.push_back(0);
    EXPECT_FALSE(ParseSlowInfoCache(data));
    data.resize(551);
    EXPECT_FALSE(ParseSlowInfoCache(data));
    EXPECT_FALSE(ParseSlowInfoCache({}));
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
    auto needs = [](int64_t size, const wchar_t* location) {
        return NeedsSizeJob(size, location, L"C:\\Windows", L"C:\\Program Files",
                            L"C:\\Program Files (x86)\\");
    };
    EXPECT_TRUE(needs(0, L"C:\\Program Files\\App\\"));
    EXPECT_TRUE(needs(-1, L"D:\\Games\\Game"));
    EXPECT_TRUE(needs(0, L"D:\\X"));                   // longer than a drive root
    EXPECT_TRUE(needs(0, L"C:\\WindowsApps\\Tool\\")); // a sibling of the Windows folder

    EXPECT_FALSE(needs(4096, L"C:\\Program Files\\App\\"));
    EXPECT_FALSE(needs(0, L"C:\\"));
    EXPECT_FALSE(needs(0, L"D:\\"));
    EXPECT_FALSE(needs(0, L"c:\\windows\\System32\\Tool\\"));
    EXPECT_FALSE(needs(0, L"C:\\PROGRAM FILES\\"));
    EXPECT_FALSE(needs(0, L"C:\\Program Files"));
    EXPECT_FALSE(needs(0, L"c:\\program files (x86)"));
}

// --- missing commands ----------------------------------------------------------

TEST(CommandMissing, OnlyAProgramWithAFolderThatIsNotThereIsMissing) {
    std::vector<std::wstring> files = {L"C:\\App\\unins000.exe", L"C:\\Program Files\\App\\remove.exe"};
    auto exists = [&](const std::wstring& path) {
        return std::find(files.begin(), files.end(), path) != files.end();
    };

    EXPECT_FALSE(IsCommandMissing(L"", exists));
    EXPECT_FALSE(IsCommandMissing(L"C:\\App\\unins000.exe", exists));
    EXPECT_FALSE(IsCommandMissing(L"\"C:\\Program Files\\App\\remove.exe\" /S", exists));
    EXPECT_FALSE(IsCommandMissing(L"MsiExec.exe /X{12345678-1234-1234-1234-123456789012}", exists));
    EXPECT_FALSE(IsCommandMissing(L"rundll32.exe setupapi.dll,InstallHinfSection", exists));

    EXPECT_TRUE(IsCommandMissing(L"C:\\Gone\\unins000.exe", exists));
    EXPECT_TRUE(IsCommandMissing(L"\"C:\\Program Files\\Gone\\remove.exe\" /S", exists));
    EXPECT_TRUE(IsCommandMissing(L"C:\\App\\other.exe /uninstall", exists));
}

TEST(CommandMissing, ProgramPartFollowsTheShellSplit) {
    EXPECT_EQ(CommandProgram(L"\"C:\\Program Files\\A\\u.exe\" /x"), L"C:\\Program Files\\A\\u.exe");
    EXPECT_EQ(CommandProgram(L"  C:\\A\\u.exe /x"), L"C:\\A\\u.exe");
    EXPECT_EQ(CommandProgram(L"\"C:\\unterminated"), L"C:\\unterminated");
    EXPECT_EQ(CommandProgram(L"   "), L"");
}

} // namespace
} // namespace velmora
