// The store-app location and its items over an app collection of the test's
// own, whose entries, load state and update time each test sets: which
// entries are listed, the re-read by mark and sweep, the poll rule, the first
// read's wait for the load, and the uninstall thread.
#include "locations/ItemAppXProgram.h"
#include "locations/LocationUninstallAppX.h"

#include "frame/DebugLog.h"
#include "frame/IconImageList.h"
#include "platform/ComText.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "tests/Polling.h"
#include "tests/frame/LogTestKit.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <fstream>
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
    std::wstring Logo;
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
    void STDMETHODCALLTYPE GetLogo(BSTR* v) override { SetBstr(v, F.Logo); }
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
        FHoldChanged.wait(lock, [&] { return !FHold; });
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
    std::wstring AppFolder(const std::wstring& name) {
        auto folder = Apps.Path / name;
        std::filesystem::create_directories(folder);
        std::ofstream(folder / L"AppxSignature.p7x") << "signed";
        return folder.wstring();
    }

    TComPtr<TFakeAppList> AppList = MakeCom<TFakeAppList, TFakeAppList>();
    testing::TTempFolder Apps{L"velmora-apps"};
    std::unique_ptr<TLocationUninstallAppX> FLocation;
};

// A PNG of the test's own resources as a file.
std::wstring LogoFile(const std::filesystem::path& folder) {
    HRSRC info = FindResourceW(ThisModule(), L"RATING_TRUST", MAKEINTRESOURCEW(10));
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(ThisModule(), info)));
    auto file = folder / L"Logo.png";
    std::ofstream(file, std::ios::binary).write(bytes, SizeofResource(ThisModule(), info));
    return file.wstring();
}

TEST_F(LocationUninstallAppX, ListsTheAppsOfTheAppListWithTheirEntrysTexts) {
    const std::wstring windowsApp = IncludeTrailingBackslash(WindowsFolder()) + L"SystemApps\\Shell_x";
    AppList->Load(
        {{L"Calc_1.2.3.4_x64__pub", L"Calc", AppFolder(L"Calc"), false, false, true, LogoFile(Apps.Path)},
         {L"Runtime_1_x64__pub", L"Runtime", AppFolder(L"Runtime"), true},
         {L"Calc.Lang_1_neutral_split.de_pub", L"Calc.Lang", AppFolder(L"Lang"), false, true},
         {L"Helper_1_x64__pub", L"Helper", AppFolder(L"Helper"), false, false, false},
         {L"Shell_1_x64__pub", L"Shell", windowsApp},
         {L"", L"Nameless", AppFolder(L"Nameless")}});
    Location().Read();

    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Text of Calc"});
    auto calc = Program(L"Calc_1.2.3.4_x64__pub");
    ASSERT_TRUE(calc);
    calc->ReadExtendedInfo();
    calc->ReadImages();
    calc->ReadSlowInfo();
    EXPECT_EQ(calc->GetInfo(piProductKeyName), TInfoValue(L"Calc_1.2.3.4_x64__pub"));
    EXPECT_EQ(calc->GetInfo(piPublisher), TInfoValue(L"Text of Publisher"));
    EXPECT_EQ(calc->GetInfo(piDisplayVersion), TInfoValue(L"1.2.3.4"));
    EXPECT_EQ(calc->GetInfo(piComments), TInfoValue(L"About Calc"));
    EXPECT_EQ(calc->GetInfo(piInstallLocation), TInfoValue((Apps.Path / L"Calc").wstring()));
    EXPECT_EQ(calc->GetInfo(piSoftwareRating),
              TInfoValue(static_cast<int32_t>(TSoftwareRating::stTrustWorthy)));
    EXPECT_EQ(calc->PossibleActions(), ActionBit(TPossibleActions::paUninstall));
    EXPECT_GE(calc->IconIndex(), TItemProgram::FirstProgramIcon) << "the logo";
    auto installed = std::get<TInfoDate>(calc->GetInfo(piInstallDate)).Value;
    EXPECT_NEAR(installed, NowOleDate(), 1.0 / 24) << "the install folder's creation";
    EXPECT_NEAR(std::get<TInfoDate>(calc->GetInfo(piLastUsedDate)).Value, installed, 1.0 / 24)
        << "the signature file's creation";
}

TEST_F(LocationUninstallAppX, AReReadKeepsTheItemsFoundAgainAndDropsTheRest) {
    auto first =
        AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}, {L"B_1_x64__p", L"B", AppFolder(L"B")}});
    Location().Read();
    auto a = Program(L"A_1_x64__p");
    ASSERT_TRUE(a);

    auto second = AppList->Load({{L"A_1_x64__p", L"A", AppFolder(L"A")}});
    Location().Read();
    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Text of A"});
    EXPECT_EQ(Program(L"A_1_x64__p"), a);

    // The uninstall tells the entry of the latest load. Wine has no package
    // manager: the removal fails, is logged, and the collection reloads.
    DebugLog().SetLogLevel(TLogLevel::llInfo);
    DebugLog().SetDirectWrite(true);
    std::error_code noLog;
    auto logStart = static_cast<std::streamoff>(std::filesystem::file_size(DebugLog().FileName(), noLog));
    TPossibleActions uninstall = TPossibleActions::paUninstall;
    void* window = nullptr;
    ASSERT_TRUE(a->RunAction(uninstall, window));
    ASSERT_TRUE(WaitUntil([&] { return !a->IsActionRunning(); }));
    EXPECT_EQ(second[0]->Notified, 1);
    EXPECT_EQ(first[0]->Notified, 0);
    EXPECT_EQ(AppList->Updates, 1);
    std::wstring logged;
    for (auto& text : testing::RecordTexts(DebugLog().FileName(), DebugLog().ModuleName().size(), logStart))
        if (text.starts_with(L"Removing metro App: "))
            logged = text;
    EXPECT_FALSE(logged.empty()) << "the refusal";
    EXPECT_EQ(Listed(), std::vector<std::wstring>{L"Text of A"}) << "until the collection drops it";
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
