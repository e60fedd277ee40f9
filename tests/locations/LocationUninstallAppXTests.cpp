// The store-app location and its items over an app collection of the test's
// own, whose entries, load state and update time each test sets: the re-read
// by mark and sweep, the poll rule, the first read's wait for the load, and
// the uninstall thread's one-at-a-time rule.
#include "locations/ItemAppXProgram.h"
#include "locations/LocationUninstallAppX.h"

#include "platform/ComText.h"
#include "tests/Polling.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace velmora {
namespace {

using testing::WaitUntil;

struct TAppData {
    std::wstring FullName;
    std::wstring Name;
    std::wstring Path;
    bool Framework = false;
    bool Resource = false;
    bool Listed = true;
};

// One entry. Resource references come back as "Text of <reference>";
// NotifyRemoved may be held until the test lets it go.
class TFakeApp : public TInterfacedObject<IMetroAppItem> {
public:
    explicit TFakeApp(TAppData data) : F(std::move(data)) {}

    void STDMETHODCALLTYPE GetPackageFullName(BSTR* v) override { SetBstr(v, F.FullName); }
    void STDMETHODCALLTYPE GetPackageFamilyName(BSTR* v) override { SetBstr(v, F.Name + L"_family"); }
    void STDMETHODCALLTYPE GetDisplayName(BSTR* v) override { SetBstr(v, F.Name); }
    void STDMETHODCALLTYPE GetDisplayNameResource(BSTR* v) override { SetBstr(v, L"ms-resource:" + F.Name); }
    void STDMETHODCALLTYPE GetDescriptionResource(BSTR* v) override { SetBstr(v, L"About " + F.Name); }
    void STDMETHODCALLTYPE GetPublisher(BSTR* v) override { SetBstr(v, L"CN=Nobody"); }
    void STDMETHODCALLTYPE GetPublisherResource(BSTR* v) override { SetBstr(v, L"ms-resource:Publisher"); }
    void STDMETHODCALLTYPE GetInstallPath(BSTR* v) override { SetBstr(v, F.Path); }
    void STDMETHODCALLTYPE GetVersion(BSTR* v) override { SetBstr(v, L"1.2.3.4"); }
    void STDMETHODCALLTYPE GetArchitecture(BSTR* v) override { SetBstr(v, L"x64"); }
    void STDMETHODCALLTYPE GetLogo(BSTR* v) override { SetBstr(v, L""); }
    void STDMETHODCALLTYPE GetAppIds(BSTR* v) override { SetBstr(v, L"App"); }
    bool STDMETHODCALLTYPE IsExcluded1() override { return F.Framework; }
    bool STDMETHODCALLTYPE IsExcluded2() override { return F.Resource; }
    bool STDMETHODCALLTYPE IsListed() override { return F.Listed; }
    bool STDMETHODCALLTYPE IsFeatureListed() override { return !F.Framework && !F.Resource; }
    bool STDMETHODCALLTYPE IsProvisioned() override { return false; }
    void STDMETHODCALLTYPE LoadResourceString(LPCWSTR reference, BSTR* v) override {
        std::wstring text = reference;
        SetBstr(v, text.starts_with(L"ms-resource:") ? L"Text of " + text.substr(12) : text);
    }
    void STDMETHODCALLTYPE NotifyRemoved() override {
        ++Notified;
        std::unique_lock lock(FHoldLock);
        // Bounded, so that a fault shows as a failure rather than a hang.
        FHoldChanged.wait_for(lock, std::chrono::seconds(10), [&] { return !FHold; });
    }

    void Hold(bool hold) {
        {
            std::lock_guard lock(FHoldLock);
            FHold = hold;
        }
        FHoldChanged.notify_all();
    }
    std::atomic<int> Notified{0};

private:
    TAppData F;
    std::mutex FHoldLock;
    std::condition_variable FHoldChanged;
    bool FHold = false;
};

// The collection: entries as a load left them, a load state, an update time,
// and a script run at each waiting WaitForLoad (the load going on meanwhile).
class TFakeAppList : public TInterfacedObject<IMetroAppCollection> {
public:
    int32_t STDMETHODCALLTYPE GetCount() override {
        std::lock_guard lock(FLock);
        return static_cast<int32_t>(Apps.size());
    }
    void STDMETHODCALLTYPE GetItem(int32_t index, IMetroAppItem** item) override {
        std::lock_guard lock(FLock);
        *item = nullptr;
        if (index >= 0 && index < static_cast<int32_t>(Apps.size()))
            Apps[static_cast<size_t>(index)].CopyTo(item);
    }
    int32_t STDMETHODCALLTYPE IndexOf(LPCWSTR) override { return -1; }
    bool STDMETHODCALLTYPE Contains(IMetroAppItem*) override { return false; }
    HRESULT STDMETHODCALLTYPE GetLoadError() override { return S_OK; }
    uint32_t STDMETHODCALLTYPE GetUpdateTime() override { return UpdateTime; }
    int32_t STDMETHODCALLTYPE GetAppCount() override { return GetCount(); }
    void STDMETHODCALLTYPE Update() override { ++Updates; }
    bool STDMETHODCALLTYPE IsLoading() override { return !Loaded; }
    bool STDMETHODCALLTYPE WaitForLoad(uint32_t timeout, bool) override {
        ++(timeout == 0 ? Peeks : Waits);
        if (timeout > 0 && OnWait)
            OnWait();
        return Loaded;
    }
    void STDMETHODCALLTYPE FindItem(LPCWSTR, IMetroAppItem** item) override { *item = nullptr; }
    void STDMETHODCALLTYPE UpdateItem(LPCWSTR) override {}

    // A completed load with these entries.
    std::vector<TComPtr<TFakeApp>> Load(const std::vector<TAppData>& apps) {
        std::vector<TComPtr<TFakeApp>> made;
        std::lock_guard lock(FLock);
        Apps.clear();
        for (const TAppData& data : apps) {
            made.push_back(MakeCom<TFakeApp, TFakeApp>(data));
            Apps.push_back(TComPtr<IMetroAppItem>(made.back().get()));
        }
        ++UpdateTime;
        return made;
    }

    std::atomic<uint32_t> UpdateTime{7};
    std::atomic<bool> Loaded{true};
    std::atomic<int> Updates{0}, Peeks{0}, Waits{0};
    std::function<void()> OnWait;

private:
    std::recursive_mutex FLock;
    std::vector<TComPtr<IMetroAppItem>> Apps;
};

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

TEST_F(LocationUninstallAppX, PollAnswersAChangedCountOrAFinishedLoadsNewTime) {
    AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}});
    Location().Read();
    EXPECT_TRUE(Location().IsChanged()) << "the count starts at 0";
    EXPECT_FALSE(Location().IsChanged());

    // A load running with the same count is waited for.
    AppList->Loaded = false;
    AppList->Load({{L"B_1_x64__p", L"B", AppFolder(L"B")}});
    EXPECT_FALSE(Location().IsChanged());
    EXPECT_FALSE(Location().IsChanged());
    AppList->Loaded = true;
    EXPECT_TRUE(Location().IsChanged());
    EXPECT_FALSE(Location().IsChanged());

    // Another count counts at once, loading or not.
    AppList->Loaded = false;
    AppList->Load({});
    EXPECT_TRUE(Location().IsChanged());
}

TEST_F(LocationUninstallAppX, FirstReadReloadsALoadedListAndReadsUntilTheLoadEnds) {
    AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}});
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
    EXPECT_EQ(AppList->Updates, 1) << "a running load is not restarted";
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L"Text of A", L"Text of B"}));
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
