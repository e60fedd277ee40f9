// The store-app location and its items over an app collection of the test's
// own, whose entries, load state and update time each test sets.
#include "locations/ItemAppXProgram.h"
#include "locations/LocationUninstallAppX.h"

#include "tests/kits/FakeAppCollection.h"
#include "tests/TestBase.h"

namespace velmora {
namespace {

using testing::TFakeApp;
using testing::TFakeAppList;
using testing::WaitUntil;

class LocationUninstallAppX : public ::testing::Test {
protected:
    void SetUp() override { TItemProgram::Init(); }
    void TearDown() override { TItemProgram::Done(); }

    TLocationUninstallAppX& Location() {
        if (!FLocation)
            FLocation = std::make_unique<TLocationUninstallAppX>(TComPtr<IMetroAppCollection>(AppList.get()));
        return *FLocation;
    }
    // The display names of the location's programs, in list order.
    std::vector<std::wstring> Listed() {
        std::vector<std::wstring> names;
        for (int i = 0, n = TItemProgram::Items().Count(); i < n; ++i)
            if (auto item = TItemProgram::Items().Get(i); item && item->Location() == FLocation.get())
                names.push_back(item->DisplayName());
        return names;
    }
    std::shared_ptr<TItemProgram> Program(const std::wstring& fullName) {
        return TItemProgram::Items().First([&](TItemProgram& item) {
            return item.Location() == FLocation.get() && item.GetInfo(piProductID) == TInfoValue(fullName);
        });
    }
    static std::wstring AppFolder(const std::wstring& name) {
        return L"C:\\Program Files\\WindowsApps\\" + name;
    }

    TComPtr<TFakeAppList> AppList = MakeCom<TFakeAppList, TFakeAppList>();
    std::unique_ptr<TLocationUninstallAppX> FLocation;
};

// The packages the component reports are listed by the end-to-end tests; an
// entry without a full name only a collection of the test's own can give.
TEST_F(LocationUninstallAppX, AReReadKeepsTheItemsFoundAgainAndDropsTheRest) {
    auto first = AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")},
                                {L"B_1_x64__p", L"B", AppFolder(L"B")},
                                {L"", L"Nameless", AppFolder(L"Nameless")}});
    Location().Read();
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Text of B", L"Text of A"}));
    auto a = Program(L"A_1_x64__p");
    ASSERT_TRUE(a);

    auto second = AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}});
    Location().Read();
    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Text of A"});
    EXPECT_EQ(Program(L"A_1_x64__p"), a);

    // The uninstall tells the entry of the latest load; the collection reloads.
    TPossibleActions uninstall = TPossibleActions::paUninstall;
    void* window = nullptr;
    ASSERT_TRUE(a->RunAction(uninstall, window));
    ASSERT_TRUE(WaitUntil([&] { return !a->IsActionRunning(); }));
    EXPECT_EQ(second[0]->Notified, 1);
    EXPECT_EQ(first[0]->Notified, 0);
    EXPECT_EQ(AppList->Updates, 1);
}

// The first read renews the list of a finished load and reads until a running
// load ends; the poll answers another count at once, the same count only once
// the load that brought it has finished.
TEST_F(LocationUninstallAppX, FirstReadWaitsForTheLoadAndThePollForTheEndOfALoadOfTheSameCount) {
    AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}});
    EXPECT_TRUE(Location().IsChanged()) << "the count starts at 0";
    EXPECT_FALSE(Location().IsChanged());
    Location().ReadPrograms();
    EXPECT_EQ(AppList->Updates, 1) << "the list of a finished load is renewed";
    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Text of A"});

    // A load still running: each wait step may bring new entries.
    AppList->Loaded = false;
    int steps = 0;
    AppList->OnWait = [&] {
        if (++steps == 2)
            AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}, {L"B_1_x64__p", L"B", AppFolder(L"B")}});
        AppList->Loaded = steps == 3;
    };
    Location().ReadPrograms();
    AppList->OnWait = nullptr;
    EXPECT_EQ(AppList->Updates, 1) << "a running load is not restarted";
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Text of A", L"Text of B"}));

    AppList->Loaded = false;
    AppList->Load({{L"C_1_x64__p", L"C", AppFolder(L"C")}, {L"D_1_x64__p", L"D", AppFolder(L"D")}});
    EXPECT_FALSE(Location().IsChanged());
    EXPECT_FALSE(Location().IsChanged());
    AppList->Loaded = true;
    EXPECT_TRUE(Location().IsChanged());
    EXPECT_FALSE(Location().IsChanged());
    AppList->Loaded = false;
    AppList->Load({});
    EXPECT_TRUE(Location().IsChanged());
}

TEST_F(LocationUninstallAppX, OneUninstallAtATimeAndNoOtherAction) {
    auto apps = AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}});
    Location().Read();
    auto a = Program(L"A_1_x64__p");
    ASSERT_TRUE(a);
    void* window = nullptr;
    for (TPossibleActions other :
         {TPossibleActions::paUninstallQuiet, TPossibleActions::paRemoveFromRegistry}) {
        EXPECT_FALSE(a->RunAction(other, window));
        EXPECT_FALSE(a->IsActionRunning());
    }

    apps[0]->Hold(true);
    struct TRelease {
        TFakeApp& App;
        ~TRelease() { App.Hold(false); }
    } release{*apps[0]};
    TPossibleActions uninstall = TPossibleActions::paUninstall;
    ASSERT_TRUE(a->RunAction(uninstall, window));
    ASSERT_TRUE(WaitUntil([&] { return apps[0]->Notified == 1; }));
    EXPECT_TRUE(a->IsActionRunning());
    EXPECT_FALSE(a->RunAction(uninstall, window));
    apps[0]->Hold(false);
    ASSERT_TRUE(WaitUntil([&] { return !a->IsActionRunning(); }));
    EXPECT_TRUE(a->RunAction(uninstall, window)) << "once the first has ended";
    EXPECT_TRUE(WaitUntil([&] { return AppList->Updates == 2; }));
}

} // namespace
} // namespace velmora
