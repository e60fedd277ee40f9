// Update items without the operating system: lookups and the sweep of one
// source among others.
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
        TTemporaryInfo info{
            .FGUID = std::move(guid), .FDisplayName = name, .FPackageCode = std::move(packageCode)};
        auto update = std::make_shared<TTestUpdate>(name, &Log, location, info);
        TItemUpdate::Items().Add(update);
        return update.get();
    }

    TEventLog Log;
    TTestLocation FA{L"TSourceA", Log}, FB{L"TSourceB", Log};
};

TEST_F(ItemUpdateTest, LookupsMatchOnlyTheItemsOfTheLocationAsked) {
    TTestUpdate* b = Add(L"Security Update KB5000 of B", B(), L"Package_for_KB1~31bf", L"{B}");
    TTestUpdate* hotfix = Add(L"Hotfix KB77 for A", A(), L"Package_for_KB1~31bf", L"{A1}");
    TTestUpdate* security = Add(L"Security Update KB5000", A(), L"Package_for_KB2~31bf", L"{A2}");

    EXPECT_EQ(TItemUpdate::ItemByCode(L"PACKAGE_FOR_KB1~31BF", A()).get(), hotfix);
    EXPECT_EQ(TItemUpdate::ItemByCode(L"Package_for_KB1~31bf", B()).get(), b);
    EXPECT_EQ(TItemUpdate::ItemByGUIDName(L"{a1}", L"HOTFIX kb77 FOR A", A()).get(), hotfix);
    EXPECT_EQ(TItemUpdate::ItemByGUIDName(L"{A1}", L"Security Update KB5000", A()), nullptr)
        << "both must match";
    // A knowledge-base number is a case-sensitive substring of the native name.
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"KB5000", A()).get(), security);
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"KB7", A()).get(), hotfix);
    EXPECT_EQ(TItemUpdate::ItemByKBIdent(L"kb77", A()), nullptr);
}

TEST_F(ItemUpdateTest, SweepDeletesTheUnseenItemsOfItsLocationFromTheLastOne) {
    TTestUpdate* b1 = Add(L"B1", B(), L"CodeB1");
    Add(L"A1", A(), L"CodeA1");
    TTestUpdate* a2 = Add(L"A2", A(), L"CodeA2");
    Add(L"A3", A(), L"CodeA3");
    b1->SetMarked(true);
    const auto mark = StatisticsMark();

    TItemUpdate::MarkAllItems(A());
    a2->SetMarked(false); // seen again
    TItemUpdate::CheckDeleteMarked(A());

    EXPECT_EQ(TItemUpdate::Items().Count(), 2);
    EXPECT_EQ(TItemUpdate::ItemByCode(L"CodeB1", B()).get(), b1) << "another location's marked item stays";
    EXPECT_FALSE(Log.Has(L"A2.Destroyed"));
    ASSERT_TRUE(Log.Has(L"A1.Destroyed"));
    EXPECT_LT(Log.IndexOf(L"A3.Destroyed"), Log.IndexOf(L"A1.Destroyed"));
    EXPECT_TRUE(LoggedSince(mark, L"NativeName: A1, PackageCode: CodeA1"));
    EXPECT_FALSE(LoggedSince(mark, L"NativeName: A2"));
}

} // namespace
