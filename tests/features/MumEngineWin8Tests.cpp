// The Windows 8 engine's store-app group on a servicing machine in a Windows 10
// prefix: over a collection the test controls (polls, reads, actions) and over
// the startup component with app packages laid out by the kit.
#include "features/MumEngineWin8.h"

#include "console/Process.h"
#include "frame/StringsLocalized.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/Polling.h"
#include "tests/features/FeatureTree.h"
#include "tests/features/ServicingMachine.h"
#include "tests/kits/AppPackages.h"
#include "tests/kits/FakeAppCollection.h"
#include "tests/library/LibraryHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The engine with its poll in reach.
class TTestEngine : public TMumEngineWin8 {
public:
    using TMumEngineWin8::TMumEngineWin8;
    bool Poll() { return PollChanges(); }
};

const TFakeAppData Notes{L"Velmora.Notes_1.0.0.0_x64__v1", L"Notes", L"C:\\Apps\\Notes"};
const TFakeAppData Atlas{L"Velmora.Atlas_2.1.0.0_x64__v1", L"Atlas", L"C:\\Apps\\Atlas"};
const TFakeAppData Runtime{L"Velmora.Runtime_1.0.0.0_x64__v1", L"Runtime", L"", true};

// While it lives the system counts as Windows PE.
struct TWindowsPE {
    static constexpr const wchar_t* Key = L"SYSTEM\\CurrentControlSet\\Control\\MiniNT";
    TWindowsPE() { TRegKey::Create(HKEY_LOCAL_MACHINE, Key); }
    ~TWindowsPE() { DeleteKey(HKEY_LOCAL_MACHINE, Key); }
};

constexpr const wchar_t* ProvisionedKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\";

class MumEngineWin8Test : public ::testing::Test {
protected:
    void SetUp() override {
        Machine.AddPackage({.Name = L"Microsoft-Windows-Foundation-Package",
                            .Updates = {{L"VelmoraGames", L"Games", L"Games for the desk"}},
                            .States = {{L"VelmoraGames", 1}}});
        Machine.InstallDoubles();
        Apps = MakeCom<TFakeAppList, TFakeAppList>();
        Engine = MakeCom<TTestEngine, TTestEngine>(TComPtr<IMetroAppCollection>(Apps.get()));
    }
    void TearDown() override {
        DLLStringsLocalized::ResetDefaults();
        Engine.reset();
        // Children hold their parents: the trees must still let each other go.
        EXPECT_EQ(TLiveCount<TFeature>::Count(), 0);
    }

    IFeatures* Features() { return Engine.get(); }

    TServicingMachine Machine;
    TComPtr<TFakeAppList> Apps;
    TComPtr<TTestEngine> Engine;
};

TEST_F(MumEngineWin8Test, TheGroupComesWithTheFirstListedAppAndAppChangesRebuildOnlyIt) {
    Apps->Load({Runtime});
    ASSERT_TRUE(Read(Features()));
    EXPECT_EQ(Outline(Features()), L"VelmoraGames") << "no group without listed apps";
    TComPtr<IFeature> games = Find(Features(), L"VelmoraGames");
    Engine->Poll(); // arms the watch
    EXPECT_FALSE(Engine->Poll()) << "no app counted";

    // A new app: the count changes, the next read rebuilds the group alone.
    Apps->Load({Runtime, Notes, Atlas});
    EXPECT_TRUE(Engine->Poll());
    EXPECT_FALSE(Engine->Poll());
    ASSERT_TRUE(Read(Features()));
    EXPECT_EQ(Find(Features(), L"VelmoraGames").get(), games.get()) << "the servicing tree was not read";
    // The details over app packages: MumEngineWin8PackagesTest.
    EXPECT_EQ(Lines(Features()),
              (std::vector<std::wstring>{
                  L"VelmoraGames \"Games\" enabled actions=1 rating=3 icon=5",
                  L"AppX \"Universal Windows Platform App\" enabled actions=0 rating=2 icon=19",
                  L"  Atlas \"Text of Atlas\" enabled actions=3 rating=2 icon=19",
                  L"  Notes \"Text of Notes\" enabled actions=3 rating=2 icon=19"}));
    TComPtr<IFeature> root = Find(Features(), L"AppX");
    ASSERT_TRUE(root);

    // The same count with a new time counts once the collection has loaded.
    Apps->UpdateTime = 100;
    Apps->Loaded = false;
    EXPECT_FALSE(Engine->Poll());
    EXPECT_FALSE(Engine->Poll()) << "nothing was stored";
    Apps->Loaded = true;
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
    Machine.AddPackage({.Name = L"Velmora-More-Package",
                        .Updates = {{L"VelmoraMore", L"More games"}},
                        .States = {{L"VelmoraMore", 0}}});
    ASSERT_TRUE(WaitUntil([&] { return Engine->Poll(); }));
    ASSERT_TRUE(Read(Features()));
    EXPECT_NE(Find(Features(), L"VelmoraGames").get(), games.get());
    EXPECT_EQ(Outline(Features()), L"VelmoraGames VelmoraMore AppX(Atlas,Notes)");
}

TEST_F(MumEngineWin8Test, AServicingChangeDuringARunningReadIsReadByOneMorePass) {
    Apps->Load({Notes});
    Engine->Poll(); // arms the watch
    unique_handle busy = HoldServicingLock();
    ASSERT_TRUE(busy);
    Features()->Refresh();
    // The read lists the manifests, then waits for the busy tool.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_EQ(Features()->GetReadState(), TReadState::rsLoading);
    Machine.AddPackage({.Name = L"Velmora-Late-Package",
                        .Updates = {{L"VelmoraLate", L"Late feature"}},
                        .States = {{L"VelmoraLate", 1}}});
    ASSERT_TRUE(WaitUntil([&] { return Engine->Poll(); }));
    busy.reset();
    ASSERT_TRUE(WaitUntil([&] { return Features()->GetReadState() == TReadState::rsLoaded; }));
    EXPECT_EQ(Outline(Features()), L"VelmoraGames VelmoraLate AppX(Notes)") << "a full read followed";
}

TEST_F(MumEngineWin8Test, TheLogoIconsOfAppsGoneAreFreedWhenTheGroupIsRebuilt) {
    TTestPackage package = ProcessPackage(L"Features", L"Logo");
    TInstalledTestPackage installed(package);
    size_t icons = 0;
    for (int i = 0; i < 4; ++i) {
        // The same app with a new logo file each time, as a new version has.
        const std::wstring logo = package.Folder() + Format(L"\\logo%d.png", i);
        ASSERT_TRUE(CopyFileW(package.LogoFile().c_str(), logo.c_str(), FALSE));
        TFakeAppData app = Notes;
        app.Logo = logo;
        Apps->Load({app});
        ASSERT_TRUE(Read(Features()));
        TComPtr<IFeature> root = Find(Features(), L"AppX"), notes = Find(Features(), L"Notes");
        ASSERT_TRUE(root && notes);
        EXPECT_GT(notes->GetImageIndex(), root->GetImageIndex()) << "the logo";
        const auto count = static_cast<size_t>(ImageList_GetImageCount(Features()->GetFeatureSmallImages()));
        // A rebuild frees the logo before last: the list stops growing.
        if (i == 1)
            icons = count;
        EXPECT_TRUE(i < 2 || count == icons) << count << " icons after rebuild " << i;
    }
}

TEST_F(MumEngineWin8Test, QuietRemovalIsNotOfferedUnderWindowsPEAndRemovesTheProvisionedCopy) {
    {
        TWindowsPE pe;
        Apps->Load({Notes});
        ASSERT_TRUE(Read(Features()));
        TComPtr<IFeature> notes = Find(Features(), L"Notes");
        ASSERT_TRUE(notes);
        EXPECT_EQ(notes->GetPossibleActions(), ActionBit(TPossibleActions::paUninstall));
        TPossibleActions quiet = TPossibleActions::paUninstallQuiet;
        EXPECT_FALSE(notes->RunAction(&quiet, nullptr)) << "not run where it is not offered";
        EXPECT_EQ(Features()->GetInstallState(), TInstallState::isNone);
    }
    // A provisioned app.
    Apps->Load({Notes});
    TRegKey::Create(HKEY_LOCAL_MACHINE, ProvisionedKey + Notes.FullName, KEY_WRITE | KEY_WOW64_64KEY)
        .WriteString(L"Path", L"C:\\ProgramData\\Velmora\\Notes.xml");
    ASSERT_TRUE(Engine->Poll());
    ASSERT_TRUE(Read(Features()));
    TComPtr<IFeature> app = Find(Features(), L"Notes");
    ASSERT_TRUE(app);

    std::vector<std::wstring> started; // written by the worker, read once it has ended
    TProcess::SetStarter({[&](const TChildStart& start) {
        started.push_back(start.CommandLine);
        return StartChildProcess(start);
    }});
    TPossibleActions quiet = TPossibleActions::paUninstallQuiet, modify = TPossibleActions::paModify;
    EXPECT_FALSE(app->RunAction(&modify, nullptr));
    ASSERT_TRUE(app->RunAction(&quiet, nullptr));
    EXPECT_EQ(Features()->GetInstallState(), TInstallState::isUninstalling);
    EXPECT_FALSE(app->RunAction(&quiet, nullptr)) << "one switch at a time";
    // Polls during the switch, one of them on a thread that ends, keep the
    // watch armed: once the switch's own changes are taken, the polls are quiet.
    std::thread([&] { EXPECT_FALSE(Engine->Poll()); }).join();
    while (Features()->GetInstallState() != TInstallState::isNone) {
        EXPECT_FALSE(Engine->Poll());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    TProcess::SetStarter({});
    // The servicing tool of the system folder, not one of the test's folder.
    EXPECT_EQ(started,
              std::vector<std::wstring>{L"\"" + SystemFolderWithBackslash() +
                                        L"DISM.exe\" /Online /Remove-ProvisionedAppxPackage /PackageName:" +
                                        Notes.FullName});
    ASSERT_TRUE(WaitUntil([&] { return !Engine->Poll(); }, std::chrono::seconds(5)));
    for (int poll = 0; poll < 5; ++poll) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_FALSE(Engine->Poll()) << "poll " << poll;
    }
    // Wine has no package manager: the removal for the user fails and is
    // logged; the collection is told, the provisioned copy goes and the
    // collection is asked to load again.
    EXPECT_EQ(Apps->UpdatedItems(), std::vector<std::wstring>{Notes.FullName});
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ProvisionedKey + Notes.FullName, TRegView::x64));
    EXPECT_EQ(Apps->Updates, 1);
    DeleteKey(HKEY_LOCAL_MACHINE, ProvisionedKey + Notes.FullName, TRegView::x64);
}

// The engine over LaunchetHelper.dll, with app packages laid out by the kit.
using MumEngineWin8PackagesTest = MumEngineWin8Test;

TEST_F(MumEngineWin8PackagesTest, TheGroupShowsTheUsersAppsAndAQuietRemovalDeprovisionsOne) {
    TTestPackage notes = ProcessPackage(L"Features", L"Notes");
    notes.Description = L"Takes notes";
    notes.Provisioned = true;
    TTestPackage atlas = ProcessPackage(L"Features", L"Atlas");
    atlas.HasLogo = false;
    TTestPackage hidden = ProcessPackage(L"Features", L"Helper");
    hidden.InAppList = false; // switchable, but not listed: shown disabled
    TTestPackage runtime = ProcessPackage(L"Features", L"Runtime");
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

    // An app without logo shows the group's icon; one not listed is shown disabled.
    EXPECT_EQ(Lines(features.get()),
              (std::vector<std::wstring>{
                  L"VelmoraGames \"Games\" enabled actions=1 rating=3 icon=5",
                  L"AppX \"Universal Windows Platform App\" enabled actions=0 rating=2 icon=19",
                  L"  Velmora Atlas \"Velmora Atlas\" enabled actions=3 rating=2 icon=19",
                  L"  Velmora Helper \"Velmora Helper\" disabled actions=66 rating=2 icon=21",
                  L"  Velmora Notes \"Velmora Notes\" enabled actions=3 rating=2 icon=20"}));
    TComPtr<IFeature> app = Find(features.get(), L"Velmora Notes");
    ASSERT_TRUE(app);
    EXPECT_EQ(Text(app.get(), &IFeature::GetDescription), L"Takes notes");
    EXPECT_EQ(Text(app.get(), &IFeature::GetPackageName), notes.FullName());
    EXPECT_EQ(Text(app.get(), &IFeature::GetInstallLocation), notes.Folder());

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
    const std::wstring velmora = ThisModuleFolder() + L"velmora.exe";
    auto [code, tree] = RunProgram(velmora, L"features --tree");
    EXPECT_EQ(code, 0) << tree;
    EXPECT_LT(tree.find("AppX"), tree.find("Velmora Atlas")) << tree;
    auto [removed, output] = RunProgram(velmora, L"feature remove \"Velmora Notes\"");
    EXPECT_EQ(removed, 7) << output;
    EXPECT_FALSE(
        KeyExists(HKEY_LOCAL_MACHINE, std::wstring(ProvisionedKey) + notes.FullName(), TRegView::x64));
    EXPECT_EQ(RunProgram(velmora, L"feature remove VelmoraGames").first, 5) << "no app";
}

} // namespace
