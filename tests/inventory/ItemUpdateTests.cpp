// Update items without the operating system: the knowledge-base identifier,
// lookups and the sweep of one source among others, and the display names.
#include "InventoryTestKit.h"

using namespace velmora;
using namespace velmora::testkit;

namespace {

class ItemUpdateTest : public ::testing::Test {
protected:
    void SetUp() override { TItemUpdate::Init(); }
    void TearDown() override { TItemUpdate::Done(); }
    TTestLocation* A() { return &FA; }
    TTestLocation* B() { return &FB; }

    // Publishes an update as a source does (the name is also the native name).
    TTestUpdate* Add(const std::wstring& name, TTypeUninstallLocation* location,
                     std::wstring packageCode = {}, std::wstring guid = {}) {
        TUpdateRecord record{.DisplayNameNative = name};
        record.PackageCode = std::move(packageCode);
        record.GUID = std::move(guid);
        auto update = std::make_shared<TTestUpdate>(name, Log, location, record);
        TItemUpdate::Items().Add(update);
        return update.get();
    }

    TEventLog Log;
    TTestLocation FA{L"TSourceA", Log}, FB{L"TSourceB", Log};
};

TEST(KBIdent, UpperCaseKBFollowedOnlyByDigits) {
    for (const wchar_t* ident : {L"KB", L"KB123", L"KB0987654321"})
        EXPECT_TRUE(IsKBIdent(ident)) << Narrow(ident);
    for (const wchar_t* other : {L"kb123", L"Kb123", L"KB12a", L"KB 12", L"XKB12", L"K", L""})
        EXPECT_FALSE(IsKBIdent(other)) << Narrow(other);
}

TEST_F(ItemUpdateTest, LookupsMatchOnlyTheItemsOfTheLocationAsked) {
    TTestUpdate* b = Add(L"Security Update KB5000 of B", B(), L"Package_for_KB1~31bf", L"{B}");
    TTestUpdate* hotfix = Add(L"Hotfix KB77 for A", A(), L"Package_for_KB1~31bf", L"{A1}");
    TTestUpdate* security = Add(L"Security Update KB5000", A(), L"Package_for_KB2~31bf", L"{A2}");

    EXPECT_EQ(TItemUpdate::ItemByCode(L"PACKAGE_FOR_KB1~31BF", A()).get(), hotfix);
    EXPECT_EQ(TItemUpdate::ItemByCode(L"Package_for_KB1~31bf", B()).get(), b);
    EXPECT_EQ(TItemUpdate::ItemByCode(L"Package_for_KB2~31bf", B()), nullptr);
    EXPECT_EQ(TItemUpdate::ItemByGUIDName(L"{a1}", L"HOTFIX kb77 FOR A", A()).get(), hotfix);
    EXPECT_EQ(TItemUpdate::ItemByGUIDName(L"{A1}", L"Security Update KB5000", A()), nullptr)
        << "both must match";
    EXPECT_EQ(TItemUpdate::ItemByGUIDName(L"{B}", L"Security Update KB5000 of B", A()), nullptr);
    // A knowledge-base number is a case-sensitive substring of the native name.
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"KB5000", A()).get(), security);
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"KB7", A()).get(), hotfix);
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"kb77", A()), nullptr);
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"KB77", B()), nullptr);
}

TEST_F(ItemUpdateTest, SweepDeletesTheUnseenItemsOfItsLocationFromTheLastOne) {
    TTestUpdate* b1 = Add(L"B1", B(), L"CodeB1");
    Add(L"A1", A(), L"CodeA1");
    TTestUpdate* a2 = Add(L"A2", A(), L"CodeA2");
    Add(L"A3", A(), L"CodeA3");
    b1->SetMarked(true);
    TStatisticsLogReader statistics;

    TItemUpdate::MarkAllItems(A());
    a2->SetMarked(false); // seen again
    TItemUpdate::CheckDeleteMarked(A());

    EXPECT_EQ(TItemUpdate::Items().Count(), 2);
    EXPECT_EQ(TItemUpdate::ItemByCode(L"CodeB1", B()).get(), b1) << "another location's marked item stays";
    EXPECT_FALSE(Log.Has(L"A2.Destroyed"));
    ASSERT_TRUE(Log.Has(L"A1.Destroyed"));
    EXPECT_LT(Log.IndexOf(L"A3.Destroyed"), Log.IndexOf(L"A1.Destroyed"));
    EXPECT_TRUE(statistics.Contains(L"NativeName: A1, PackageCode: CodeA1"));
    EXPECT_FALSE(statistics.Contains(L"NativeName: A2"));
}

// An update whose details are what the test sets, as a source's reading gives them.
class TFakeUpdate : public TItemUpdate {
public:
    using TItemUpdate::FParentDisplayName;
    using TItemUpdate::FReleaseType;
    using TItemUpdate::TItemUpdate;
    std::wstring DetailName, DetailKBID;

protected:
    void ReadDetails() override {
        FDisplayName = DetailName;
        FKBID = DetailKBID;
    }
};

TEST_F(ItemUpdateTest, FastReadingCompletesTypeNameAndParent) {
    auto read = [&](TReleaseType type, const wchar_t* name, const wchar_t* kbid, const wchar_t* parent) {
        TUpdateRecord record;
        record.ReleaseType = type;
        record.ParentDisplayName = parent;
        auto update = std::make_unique<TFakeUpdate>(A(), record);
        update->DetailName = name;
        update->DetailKBID = kbid;
        update->ReadFastInfo();
        return update;
    };
    auto nameOf = [&](auto&&... args) { return std::get<std::wstring>(read(args...)->GetInfo(0)); };
    using enum TReleaseType;
    const std::tuple<TReleaseType, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*> cases[] = {
        {rtHotfix, L"Own name", L"KB1", L"Editor", L"Own name"},
        {rtHotfix, L"", L"", L"Editor 2", L"Update for Editor 2"},
        {rtHotfix, L"default", L"", L"Editor 2", L"default"}, // only an empty name is taken from the parent
        // An identifier names an update without a name of its own by its release type.
        {rtSecurityUpdate, L"DEFAULT", L"KB7", L"Editor", L"Security Update for Microsoft Windows (KB7)"},
        {rtHotfix, L"", L"KB9", L"", L"Hotfix for Microsoft Windows (KB9)"},
    };
    for (auto [type, name, kbid, parent, expected] : cases)
        EXPECT_EQ(nameOf(type, name, kbid, parent), expected) << Narrow(name) << "/" << Narrow(kbid);

    auto typed = read(rtNone, L"Own name", L"", L"Editor");
    EXPECT_EQ(typed->FReleaseType, rtUpdate);
    EXPECT_EQ(typed->FParentDisplayName, L"Editor");
    EXPECT_FALSE(read(rtHotfix, L"", L"KB9", L"")->FParentDisplayName.empty())
        << "the Windows version stands in for the parent";
}

} // namespace
