// The Windows 8 engine's store-app group on a servicing machine laid out in a
// Windows 10 prefix: over a collection the test controls, when a poll reports
// a change, which read follows and what the group's features offer; over the
// startup component with app packages laid out by the kit, the group as the
// user's packages make it, a switch and a removal for all users.
#include "features/MumEngineWin8.h"

#include "frame/StringsLocalized.h"
#include "platform/Format.h"
#include "platform/ComText.h"
#include "platform/Module.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/Polling.h"
#include "tests/features/FeatureTree.h"
#include "tests/features/ServicingMachine.h"
#include "tests/kits/AppPackages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

using namespace velmora;
using namespace velmora::testing;

namespace {

struct TFakeApp {
    std::wstring FullName;
    std::wstring Name;
    std::wstring DisplayName; // a resource reference
    bool Listed = true;
    bool FeatureListed = true;
    std::wstring Logo;
};

class TFakeAppItem : public TInterfacedObject<IMetroAppItem> {
public:
    explicit TFakeAppItem(TFakeApp app) : F(std::move(app)) {}
    void STDMETHODCALLTYPE GetPackageFullName(BSTR* v) override { SetBstr(v, F.FullName); }
    void STDMETHODCALLTYPE GetPackageFamilyName(BSTR* v) override { SetBstr(v, F.Name + L"_family"); }
    void STDMETHODCALLTYPE GetDisplayName(BSTR* v) override { SetBstr(v, F.Name); }
    void STDMETHODCALLTYPE GetDisplayNameResource(BSTR* v) override { SetBstr(v, F.DisplayName); }
    void STDMETHODCALLTYPE GetDescriptionResource(BSTR* v) override { SetBstr(v, L"About " + F.Name); }
    void STDMETHODCALLTYPE GetPublisher(BSTR* v) override { SetBstr(v, L"CN=Velmora"); }
    void STDMETHODCALLTYPE GetPublisherResource(BSTR* v) override { SetBstr(v, L"Velmora"); }
    void STDMETHODCALLTYPE GetInstallPath(BSTR* v) override { SetBstr(v, L"C:\\Apps\\" + F.Name); }
    void STDMETHODCALLTYPE GetVersion(BSTR* v) override { SetBstr(v, L"1.0.0.0"); }
    void STDMETHODCALLTYPE GetArchitecture(BSTR* v) override { SetBstr(v, L"x64"); }
    void STDMETHODCALLTYPE GetLogo(BSTR* v) override { SetBstr(v, F.Logo); }
    void STDMETHODCALLTYPE GetAppIds(BSTR* v) override { SetBstr(v, L"App"); }
    bool STDMETHODCALLTYPE IsExcluded1() override { return false; }
    bool STDMETHODCALLTYPE IsExcluded2() override { return false; }
    bool STDMETHODCALLTYPE IsListed() override { return F.Listed; }
    bool STDMETHODCALLTYPE IsFeatureListed() override { return F.FeatureListed; }
    bool STDMETHODCALLTYPE IsProvisioned() override { return false; }
    // "ms-resource:X" resolves to "X (resolved)".
    void STDMETHODCALLTYPE LoadResourceString(LPCWSTR Reference, BSTR* v) override {
        std::wstring text = Reference ? Reference : L"";
        SetBstr(v, text.rfind(L"ms-resource:", 0) == 0 ? text.substr(12) + L" (resolved)" : text);
    }
    void STDMETHODCALLTYPE NotifyRemoved() override {}

private:
    TFakeApp F;
};

// A collection whose apps, update time and load state the test sets, and
// which records what the engine tells it.
class TFakeAppCollection : public TInterfacedObject<IMetroAppCollection> {
public:
    // New entries, as a finished load that changed them leaves them.
    void SetApps(std::vector<TFakeApp> apps) {
        std::lock_guard lock(FMutex);
        FApps = std::move(apps);
        ++FTime;
    }
    void SetTime(uint32_t time) { FTime = time; }
    void SetLoaded(bool loaded) { FLoaded = loaded; }
    std::vector<std::wstring> UpdatedItems() {
        std::lock_guard lock(FMutex);
        return FUpdatedItems;
    }
    int Updates() const { return FUpdates; }

    int32_t STDMETHODCALLTYPE GetCount() override {
        std::lock_guard lock(FMutex);
        return static_cast<int32_t>(FApps.size());
    }
    void STDMETHODCALLTYPE GetItem(int32_t Index, IMetroAppItem** Item) override {
        std::lock_guard lock(FMutex);
        *Item = Index >= 0 && static_cast<size_t>(Index) < FApps.size()
                    ? MakeCom<TFakeAppItem, IMetroAppItem>(FApps[Index]).Detach()
                    : nullptr;
    }
    int32_t STDMETHODCALLTYPE IndexOf(LPCWSTR Name) override {
        std::lock_guard lock(FMutex);
        for (size_t i = 0; i < FApps.size(); ++i)
            if (FApps[i].FullName == Name)
                return static_cast<int32_t>(i);
        return -1;
    }
    bool STDMETHODCALLTYPE Contains(IMetroAppItem*) override { return false; }
    HRESULT STDMETHODCALLTYPE GetLoadError() override { return S_OK; }
    uint32_t STDMETHODCALLTYPE GetUpdateTime() override { return FTime; }
    int32_t STDMETHODCALLTYPE GetAppCount() override {
        std::lock_guard lock(FMutex);
        return static_cast<int32_t>(
            std::count_if(FApps.begin(), FApps.end(), [](const TFakeApp& app) { return app.FeatureListed; }));
    }
    void STDMETHODCALLTYPE Update() override { ++FUpdates; }
    bool STDMETHODCALLTYPE IsLoading() override { return !FLoaded; }
    bool STDMETHODCALLTYPE WaitForLoad(uint32_t, bool) override { return FLoaded; }
    void STDMETHODCALLTYPE FindItem(LPCWSTR Name, IMetroAppItem** Item) override {
        int32_t index = IndexOf(Name);
        *Item = nullptr;
        if (index >= 0)
            GetItem(index, Item);
    }
    void STDMETHODCALLTYPE UpdateItem(LPCWSTR Name) override {
        std::lock_guard lock(FMutex);
        FUpdatedItems.push_back(Name);
    }

private:
    std::mutex FMutex;
    std::vector<TFakeApp> FApps;
    std::atomic<uint32_t> FTime{1};
    std::atomic<bool> FLoaded{true};
    std::atomic<int> FUpdates{0};
    std::vector<std::wstring> FUpdatedItems;
};

// The engine with its poll in reach.
class TTestEngine : public TMumEngineWin8 {
public:
    using TMumEngineWin8::TMumEngineWin8;
    bool Poll() { return PollChanges(); }
};

const TFakeApp Notes{L"Velmora.Notes_1.0.0.0_x64__v1", L"Notes", L"ms-resource:Notes"};
const TFakeApp Atlas{L"Velmora.Atlas_2.1.0.0_x64__v1", L"Atlas", L"ms-resource:Atlas"};
const TFakeApp Runtime{L"Velmora.Runtime_1.0.0.0_x64__v1", L"Runtime", L"Runtime", true, false};

// While it lives the system counts as Windows PE.
class TWindowsPE {
public:
    TWindowsPE() { TRegKey::Create(HKEY_LOCAL_MACHINE, Key); }
    ~TWindowsPE() { DeleteKey(HKEY_LOCAL_MACHINE, Key); }

private:
    static constexpr const wchar_t* Key = L"SYSTEM\\CurrentControlSet\\Control\\MiniNT";
};

constexpr const wchar_t* ProvisionedKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\";

class MumEngineWin8Test : public ::testing::Test {
protected:
    void SetUp() override {
        TServicingPackage foundation;
        foundation.Name = L"Microsoft-Windows-Foundation-Package";
        foundation.Updates = {{L"VelmoraGames", L"Games", L"Games for the desk"}};
        foundation.States = {{L"VelmoraGames", 1}};
        Machine.AddPackage(foundation);
        Machine.InstallDoubles();
        Apps = MakeCom<TFakeAppCollection, TFakeAppCollection>();
        Engine = MakeCom<TTestEngine, TTestEngine>(TComPtr<IMetroAppCollection>(Apps.get()));
    }
    void TearDown() override { DLLStringsLocalized::ResetDefaults(); }

    IFeatures* Features() { return Engine.get(); }

    TServicingMachine Machine;
    TComPtr<TFakeAppCollection> Apps;
    TComPtr<TTestEngine> Engine;
};

TEST_F(MumEngineWin8Test, TheGroupComesWithTheFirstListedAppAndAppChangesRebuildOnlyIt) {
    Apps->SetApps({Runtime});
    ASSERT_TRUE(Read(Features()));
    EXPECT_EQ(Outline(Features()), L"VelmoraGames") << "no group without listed apps";
    TComPtr<IFeature> games = Find(Features(), L"VelmoraGames");
    Engine->Poll(); // arms the watch
    EXPECT_FALSE(Engine->Poll()) << "no app counted";

    // A new app: the count changes, the next read rebuilds the group alone.
    Apps->SetApps({Runtime, Notes, Atlas});
    EXPECT_TRUE(Engine->Poll());
    EXPECT_FALSE(Engine->Poll());
    ASSERT_TRUE(Read(Features()));
    EXPECT_EQ(Outline(Features()), L"VelmoraGames AppX(Atlas,Notes)");
    EXPECT_EQ(Find(Features(), L"VelmoraGames").get(), games.get()) << "the servicing tree was not read";

    TComPtr<IFeature> root = Find(Features(), L"AppX"), notes = Find(Features(), L"Notes");
    ASSERT_TRUE(root && notes);
    EXPECT_EQ(Text(root.get(), &IFeature::GetDisplayName), L"Universal Windows Platform App");
    EXPECT_EQ(root->GetPossibleActions(), 0);
    EXPECT_EQ(Text(notes.get(), &IFeature::GetDisplayName), L"Notes (resolved)");
    EXPECT_EQ(Text(notes.get(), &IFeature::GetDescription), L"About Notes");
    EXPECT_EQ(Text(notes.get(), &IFeature::GetPackageName), Notes.FullName);
    EXPECT_EQ(Text(notes.get(), &IFeature::GetInstallLocation), L"C:\\Apps\\Notes");
    EXPECT_TRUE(notes->GetEnabled() && notes->GetTrusted() && notes->GetSelfUpdate());
    EXPECT_EQ(notes->GetImageIndex(), root->GetImageIndex()) << "no logo: the group's icon";
    EXPECT_GT(root->GetImageIndex(), 5);
    EXPECT_EQ(notes->GetPossibleActions(),
              ActionBit(TPossibleActions::paUninstall) | ActionBit(TPossibleActions::paUninstallQuiet));

    // The same count with a new time counts once the collection has loaded.
    Apps->SetTime(100);
    Apps->SetLoaded(false);
    EXPECT_FALSE(Engine->Poll());
    EXPECT_FALSE(Engine->Poll()) << "nothing was stored";
    Apps->SetLoaded(true);
    EXPECT_TRUE(Engine->Poll());
    EXPECT_FALSE(Engine->Poll());

    // A new caption is a change of the top level, not a reason to read.
    uint64_t stamp = Features()->GetStateStamp();
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the stamp is a tick count
    DLLStringsLocalized::SetStrings(
        [](const std::wstring& key) { return key == L"S_METRO_APP" ? L"Store apps" : L""; });
    EXPECT_FALSE(Engine->Poll());
    EXPECT_NE(Features()->GetStateStamp(), stamp);
    EXPECT_EQ(Text(root.get(), &IFeature::GetDisplayName), L"Store apps");

    // A servicing change outside a read: the next read is a full one.
    TServicingPackage more;
    more.Name = L"Velmora-More-Package";
    more.Updates = {{L"VelmoraMore", L"More games"}};
    more.States = {{L"VelmoraMore", 0}};
    Machine.AddPackage(more);
    ASSERT_TRUE(WaitUntil([&] { return Engine->Poll(); }));
    ASSERT_TRUE(Read(Features()));
    EXPECT_NE(Find(Features(), L"VelmoraGames").get(), games.get());
    EXPECT_EQ(Outline(Features()), L"VelmoraGames VelmoraMore AppX(Atlas,Notes)");
}

TEST_F(MumEngineWin8Test, AServicingChangeDuringARunningReadIsNotReadAgainByIt) {
    Apps->SetApps({Notes});
    Engine->Poll(); // arms the watch
    unique_handle busy = HoldServicingLock();
    ASSERT_TRUE(busy);
    Features()->Refresh();
    // The read lists the manifests, then waits for the busy tool.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(Features()->GetReadState(), TReadState::rsLoading);
    TServicingPackage late;
    late.Name = L"Velmora-Late-Package";
    late.Updates = {{L"VelmoraLate", L"Late feature"}};
    late.States = {{L"VelmoraLate", 1}};
    Machine.AddPackage(late);
    ASSERT_TRUE(WaitUntil([&] { return Engine->Poll(); }));
    busy.reset();
    ASSERT_TRUE(WaitUntil([&] { return Features()->GetReadState() == TReadState::rsLoaded; }));
    EXPECT_EQ(Outline(Features()), L"VelmoraGames AppX(Notes)") << "no full read followed";
}

TEST_F(MumEngineWin8Test, QuietRemovalIsNotOfferedUnderWindowsPEAndRemovesTheProvisionedCopy) {
    {
        TWindowsPE pe;
        Apps->SetApps({Notes});
        ASSERT_TRUE(Read(Features()));
        TComPtr<IFeature> notes = Find(Features(), L"Notes");
        ASSERT_TRUE(notes);
        EXPECT_EQ(notes->GetPossibleActions(), ActionBit(TPossibleActions::paUninstall));
    }
    // A provisioned app with a logo.
    std::wstring logo = TempFolder() + L"\\velmora-notes-logo.png";
    HRSRC png = FindResourceW(ThisModule(), L"RATING_TRUST", RT_RCDATA);
    ASSERT_TRUE(png);
    {
        std::ofstream file(std::filesystem::path(logo), std::ios::binary);
        file.write(static_cast<const char*>(LockResource(LoadResource(ThisModule(), png))),
                   SizeofResource(ThisModule(), png));
    }
    TFakeApp notes = Notes;
    notes.Logo = logo;
    Apps->SetApps({notes});
    TRegKey::Create(HKEY_LOCAL_MACHINE, ProvisionedKey + Notes.FullName, KEY_WRITE | KEY_WOW64_64KEY)
        .WriteString(L"Path", L"C:\\ProgramData\\Velmora\\Notes.xml");
    ASSERT_TRUE(Engine->Poll());
    ASSERT_TRUE(Read(Features()));
    TComPtr<IFeature> app = Find(Features(), L"Notes"), root = Find(Features(), L"AppX");
    ASSERT_TRUE(app && root);
    EXPECT_GT(app->GetImageIndex(), root->GetImageIndex()) << "the logo";

    TPossibleActions quiet = TPossibleActions::paUninstallQuiet, modify = TPossibleActions::paModify;
    EXPECT_FALSE(app->RunAction(&modify, nullptr));
    ASSERT_TRUE(app->RunAction(&quiet, nullptr));
    EXPECT_EQ(Features()->GetInstallState(), TInstallState::isUninstalling);
    EXPECT_FALSE(app->RunAction(&quiet, nullptr)) << "one switch at a time";
    ASSERT_TRUE(WaitUntil([&] { return Features()->GetInstallState() == TInstallState::isNone; }));
    // Wine has no package manager: the removal for the user fails and is
    // logged; the collection is told, the provisioned copy goes and the
    // collection is asked to load again.
    EXPECT_EQ(Apps->UpdatedItems(), std::vector<std::wstring>{Notes.FullName});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ProvisionedKey + Notes.FullName, TRegView::x64));
    EXPECT_EQ(Apps->Updates(), 1);
    DeleteFileW(logo.c_str());
    DeleteKey(HKEY_LOCAL_MACHINE, ProvisionedKey + Notes.FullName, TRegView::x64);
}

// The engine over LaunchetHelper.dll, with app packages laid out by the kit.
class MumEngineWin8PackagesTest : public ::testing::Test {
protected:
    static TTestPackage Package(const wchar_t* name, const wchar_t* displayName) {
        TTestPackage package;
        package.Name = Format(L"Velmora.Features.%s.%d", name, static_cast<int>(GetCurrentProcessId()));
        package.DisplayName = displayName;
        return package;
    }
    void SetUp() override {
        TServicingPackage foundation;
        foundation.Name = L"Microsoft-Windows-Foundation-Package";
        foundation.Updates = {{L"VelmoraGames", L"Games", L"Games for the desk"}};
        foundation.States = {{L"VelmoraGames", 1}};
        Machine.AddPackage(foundation);
        Machine.InstallDoubles();
    }

    TServicingMachine Machine;
};

TEST_F(MumEngineWin8PackagesTest, TheGroupShowsTheUsersAppsAndAQuietRemovalDeprovisionsOne) {
    TTestPackage notes = Package(L"Notes", L"Velmora Notes");
    notes.Description = L"Takes notes";
    notes.Provisioned = true;
    TTestPackage atlas = Package(L"Atlas", L"Velmora Atlas");
    atlas.HasLogo = false;
    TTestPackage hidden = Package(L"Helper", L"Velmora Helper");
    hidden.InAppList = false; // switchable, but not listed: shown disabled
    TTestPackage runtime = Package(L"Runtime", L"Velmora Runtime");
    runtime.Framework = true; // no feature
    TInstalledTestPackage installed[] = {TInstalledTestPackage(notes), TInstalledTestPackage(atlas),
                                         TInstalledTestPackage(hidden), TInstalledTestPackage(runtime)};

    TComPtr<IFeatures> features(new TMumEngineWin8());
    features->Refresh();
    // The collection loads on its own thread; the poll brings what it finds.
    ASSERT_TRUE(WaitUntil([&] {
        features->GetStateStamp();
        return features->GetReadState() == TReadState::rsLoaded &&
               Outline(features.get()) == L"VelmoraGames AppX(Velmora Atlas,Velmora Helper,Velmora Notes)";
    })) << Narrow(Outline(features.get()));

    TComPtr<IFeature> root = Find(features.get(), L"AppX"), app = Find(features.get(), L"Velmora Notes"),
                      plain = Find(features.get(), L"Velmora Atlas"),
                      off = Find(features.get(), L"Velmora Helper");
    ASSERT_TRUE(root && app && plain && off);
    EXPECT_TRUE(app->GetEnabled());
    EXPECT_FALSE(off->GetEnabled());
    EXPECT_EQ(Text(app.get(), &IFeature::GetDisplayName), L"Velmora Notes");
    EXPECT_EQ(Text(app.get(), &IFeature::GetDescription), L"Takes notes");
    EXPECT_EQ(Text(app.get(), &IFeature::GetPackageName), notes.FullName());
    EXPECT_EQ(Text(app.get(), &IFeature::GetInstallLocation), notes.Folder());
    EXPECT_EQ(plain->GetImageIndex(), root->GetImageIndex()) << "no logo: the group's icon";
    EXPECT_GT(app->GetImageIndex(), root->GetImageIndex()) << "the logo";

    // No package manager under Wine: the switch fails, is logged, and the
    // tree follows the collection, which still has the app.
    features->UninstallFeature(app.get());
    ASSERT_TRUE(WaitUntil([&] { return features->GetInstallState() == TInstallState::isNone; }));
    features->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; }));
    app = Find(features.get(), L"Velmora Notes");
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->GetEnabled());

    features->Stop();

    // The console front end shows the group and removes the app for all
    // users: the servicing tool deprovisions it, the user's copy stays.
    const std::wstring velmora = L"\"" + ExtractFilePath(ModuleFileName(nullptr)) + L"velmora.exe\" ";
    TToolRun tree = RunTool(velmora + L"features --tree");
    EXPECT_EQ(tree.ExitCode, 0u) << tree.Output;
    EXPECT_LT(tree.Output.find("AppX"), tree.Output.find("Velmora Atlas")) << tree.Output;
    TToolRun remove = RunTool(velmora + L"feature remove \"Velmora Notes\"");
    EXPECT_EQ(remove.ExitCode, 7u) << remove.Output;
    EXPECT_FALSE(
        KeyExists(HKEY_LOCAL_MACHINE, std::wstring(ProvisionedKey) + notes.FullName(), TRegView::x64));
    EXPECT_EQ(RunTool(velmora + L"feature remove VelmoraGames").ExitCode, 5u) << "no app";
}

} // namespace
