// The servicing engines through IFeatures on a laid-out servicing machine: the
// servicing engine on Windows 7 (the packaging tool's feature table) and Vista
// (the registry alone); the Windows 8 engine's store-app group on Windows 10,
// over a collection the test controls (polls, reads, actions) and over the
// startup component with app packages laid out by the kit.
#include "features/MumEngine.h"
#include "features/MumEngineWin8.h"

#include "console/Process.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/XmlDocument.h"
#include "tests/features/FeatureTree.h"
#include "tests/features/ServicingMachine.h"
#include "tests/kits/AppPackages.h"
#include "tests/kits/FakeAppCollection.h"
#include "tests/library/LibraryHarness.h"
#include "tests/TestBase.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

// The engine's answer file: "name=state" of each selection in order.
std::vector<std::wstring> Selections(const std::wstring& fileName) {
    TComApartmentGuard apartment;
    TXmlDocument document;
    document.Load(fileName);
    std::vector<std::wstring> selections;
    for (const TXmlElement& element :
         document.DocumentElement().Child(L"servicing").Child(L"package").Children(L"selection"))
        selections.push_back(element.Attribute(L"name").value_or(L"?") + L"=" +
                             element.Attribute(L"state").value_or(L"?"));
    return selections;
}

// "en-US" for the system's default locale, as the engine names languages.
std::wstring SystemLanguage() {
    wchar_t language[16] = {}, country[16] = {};
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO639LANGNAME, language, 16);
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 16);
    return std::wstring(language) + L"-" + country;
}

// The account name of a well-known account, as the system names it here.
std::wstring AccountOf(WELL_KNOWN_SID_TYPE type) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid, nameSize = 256, domainSize = 256;
    wchar_t name[256] = L"(no account)", domain[256];
    SID_NAME_USE use;
    if (CreateWellKnownSid(type, nullptr, sid, &sidSize))
        LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use);
    return name;
}

// The servicing engine's machine, before Windows 8.
class MumEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (IsWindows8OrLater())
            GTEST_SKIP() << "the Windows 8 engine's machine";
        // An older manifest of the same package: its updates are not read.
        Machine.AddPackage({.Name = L"Microsoft-Windows-Foundation-Package",
                            .Version = L"6.1.7600.16385",
                            .Updates = {{L"VelmoraRetired", L"Retired feature"}},
                            .States = {{L"VelmoraRetired", 1}}});

        TServicingPackage foundation;
        foundation.Name = L"Microsoft-Windows-Foundation-Package";
        foundation.Updates = {
            {L"VelmoraGames", L"Games", L"Games for the desk", {}, true, true},
            {L"VelmoraChess", L"Chess", L"", L"VelmoraGames"},
            {L"VelmoraCards", L"Card games", L"", L"VelmoraGames", false},
            {L"VelmoraGold", L"Gold solitaire", L"", L"VelmoraCards"},
            {L"VelmoraGoldDeck", L"Gold deck", L"", L"VelmoraGold"},
            {L"NetFx3", L"Framework 3.5", L"Runtime"},
            {L"VelmoraBase", L"", L""},
            {L"VelmoraTools", L"Admin tools", L"", L"VelmoraBase"},
            {L"VelmoraUnlisted", L"Unlisted", L""},
        };
        foundation.States = {{L"VelmoraGames", 1}, {L"VelmoraChess", 1},    {L"VelmoraCards", 0},
                             {L"VelmoraGold", 0},  {L"VelmoraGoldDeck", 1}, {L"NetFx3", 0},
                             {L"VelmoraBase", 1},  {L"VelmoraTools", 1}};
        foundation.InstallTime = FILETIME{0xd5a3e000, 0x01cb3ad2};
        foundation.InstallClient = L"DISM Package Manager Provider";
        foundation.InstallUser = L"S-1-5-18";
        Machine.AddPackage(foundation);

        // The texts in the system's language come from its localized package.
        // Its user only says that there is one: the neutral package's is shown.
        Localized = Machine.AddPackage(
            {.Name = foundation.Name,
             .Locale = SystemLanguage(),
             .Updates = {{L"VelmoraGames", L"Games and puzzles", L"Games in the system's language"}},
             .InstallClient = foundation.InstallClient,
             .InstallTime = foundation.InstallTime,
             .InstallUser = L"S-1-5-19"});
        Machine.InstallDoubles();
        Features = TComPtr<IFeatures>(new TMumEngine());
    }

    TServicingMachine Machine;
    std::wstring Localized;
    TComPtr<IFeatures> Features;
};

// Sorted by display name at every level; "VelmoraBase" has no display name
// of its own but stands as the parent of a feature; the retired update of the
// older manifest and the update without a state are gone. Trusted by name,
// with the group icon (5 is the default); a child shows its parent's icon.
TEST_F(MumEngineTest, TheTreeFollowsTheManifestsTheServicingStatesAndTheNewestVersion) {
    ASSERT_TRUE(Read(Features.get()));
    EXPECT_EQ(Lines(Features.get()),
              (std::vector<std::wstring>{
                  L"VelmoraBase \"\" enabled actions=1 rating=3 icon=5",
                  L"  VelmoraTools \"Admin tools\" enabled actions=1 rating=3 icon=5",
                  L"NetFx3 \"Framework 3.5\" disabled actions=64 rating=2 icon=7",
                  L"VelmoraGames \"Games and puzzles\" enabled actions=1 rating=3 icon=5",
                  L"  VelmoraCards \"Card games\" disabled actions=64 rating=3 icon=5",
                  L"    VelmoraGold \"Gold solitaire\" disabled actions=64 rating=3 icon=5",
                  L"      VelmoraGoldDeck \"Gold deck\" enabled actions=1 rating=3 icon=5",
                  L"  VelmoraChess \"Chess\" enabled actions=1 rating=3 icon=5",
              }));
    EXPECT_EQ(Features->GetTotalCount(), 8);

    TComPtr<IFeature> games = Find(Features.get(), L"VelmoraGames"),
                      gold = Find(Features.get(), L"VelmoraGold"),
                      deck = Find(Features.get(), L"VelmoraGoldDeck");
    ASSERT_TRUE(games && gold && deck);
    TComPtr<IFeature> root, parent, self, caseless;
    deck->GetParentRoot(root.put());
    deck->GetParent(parent.put());
    games->GetParentRoot(self.put());
    games->Find(L"velmoragolddeck", caseless.put());
    EXPECT_EQ(root.get(), games.get());
    EXPECT_EQ(parent.get(), gold.get());
    EXPECT_TRUE(deck->IsParent(games.get()));
    EXPECT_FALSE(games->IsParent(deck.get()));
    EXPECT_EQ(self.get(), games.get()) << "a top-level feature is its own root";
    EXPECT_FALSE(caseless) << "names are compared exactly";

    // The texts and package of the system's language, the account of the
    // neutral package; the state and name through IProduct too, as the
    // product pages read them.
    std::wstring details;
    for (auto get : {&IFeature::GetDescription, &IFeature::GetInstallUser, &IFeature::GetInstallClient,
                     &IFeature::GetPackageName})
        details += Text(games.get(), get) + L"|";
    unique_variant enabled, name;
    games->GetInfo(piFeatureEnabled, enabled.put());
    games->GetInfo(piFeatureName, name.put());
    EXPECT_EQ(details + Format(L"%d|%s", V_VT(&enabled.get()), BstrText(V_BSTR(&name.get()))),
              L"Games in the system's language|" + AccountOf(WinLocalSystemSid) +
                  L"|DISM Package Manager Provider|" + Localized + L"|" + std::to_wstring(VT_BOOL) +
                  L"|VelmoraGames");
    EXPECT_GT(games->GetInstallTime(), 40000.0) << "the package's install time as a date";
}

// A parent chain that comes back to its update, directly or through another
// package: the update met again stands at the top level and the read goes on.
TEST_F(MumEngineTest, AFeatureInACycleOfParentsStandsAtTheTopLevel) {
    // Unknown states (255): on Vista the state rule asks the parents too.
    Machine.AddPackage({.Name = L"Velmora-Loop-Package",
                        .Updates = {{L"VelmoraLoop", L"Loop", L"", L"VelmoraLoop", true, true},
                                    {L"VelmoraRingA", L"Ring A", L"", L"VelmoraRingB", false, true}},
                        .States = {{L"VelmoraLoop", 255}, {L"VelmoraRingA", 255}}});
    Machine.AddPackage({.Name = L"Velmora-Ring-Package",
                        .Updates = {{L"VelmoraRingB", L"Ring B", L"", L"VelmoraRingA", true, true}},
                        .States = {{L"VelmoraRingB", 255}}});
    ASSERT_TRUE(Read(Features.get()));
    // The ring is one tree of the two, whichever was read first at its top.
    const std::wstring outline = Outline(Features.get()),
                       others = L"VelmoraBase(VelmoraTools) NetFx3 VelmoraGames(VelmoraCards(VelmoraGold("
                                L"VelmoraGoldDeck)),VelmoraChess) VelmoraLoop ";
    EXPECT_TRUE(outline == others + L"VelmoraRingA(VelmoraRingB)" ||
                outline == others + L"VelmoraRingB(VelmoraRingA)")
        << Narrow(outline);
    // Vista: enabled by default, as a top-level update; 7: the tool's table.
    EXPECT_EQ(Find(Features.get(), L"VelmoraLoop")->GetEnabled(), !IsWindows7OrLater());
    EXPECT_EQ(Features->GetTotalCount(), 11);
}

TEST_F(MumEngineTest, EnablingAFeatureThreeLevelsDeepSelectsItsWholeTreeButItsOwnChildren) {
    ASSERT_TRUE(Read(Features.get()));
    Features->GetStateStamp(); // arms the watch
    TComPtr<IFeature> gold = Find(Features.get(), L"VelmoraGold"),
                      chess = Find(Features.get(), L"VelmoraChess");
    ASSERT_TRUE(gold && chess);

    auto* engine = static_cast<TMumEngine*>(Features.get());
    DeleteFileW(engine->GetAnswerFileName().c_str());
    Features->Lock(); // as a read rebuilding the tree holds it
    Features->InstallFeature(gold.get());
    Features->UninstallFeature(chess.get()); // dropped: one switch at a time
    EXPECT_EQ(Features->GetInstallState(), TInstallState::isInstalling);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(FileExists(engine->GetAnswerFileName())) << "the answer file waits for the tree";
    Features->Unlock();
    // While the tool runs no other program can write the answer file.
    EXPECT_TRUE(WaitUntil([&] {
        unique_file writer(CreateFileW(engine->GetAnswerFileName().c_str(), GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return !writer && GetLastError() == ERROR_SHARING_VIOLATION;
    }));
    ASSERT_TRUE(WaitUntil([&] { return Features->GetInstallState() == TInstallState::isNone; }));
    EXPECT_EQ(Selections(engine->GetAnswerFileName()),
              (std::vector<std::wstring>{L"VelmoraGames=true", L"VelmoraCards=true", L"VelmoraGold=true",
                                         L"VelmoraChess=true"}));
    EXPECT_EQ(Machine.UpdateState(L"VelmoraChess"), 1u) << "the second request was dropped";

    // The watch sees the change and the tree is read again.
    ASSERT_TRUE(WaitUntil([&] {
        Features->GetStateStamp();
        TComPtr<IFeature> now = Find(Features.get(), L"VelmoraGold");
        return Features->GetReadState() == TReadState::rsLoaded && now && now->GetEnabled();
    }));

    gold = Find(Features.get(), L"VelmoraGold");
    Features->UninstallFeature(gold.get());
    EXPECT_EQ(Features->GetInstallState(), TInstallState::isUninstalling);
    ASSERT_TRUE(WaitUntil([&] { return Features->GetInstallState() == TInstallState::isNone; }));
    EXPECT_EQ(Selections(engine->GetAnswerFileName()), std::vector<std::wstring>{L"VelmoraGold=false"});
}

TEST_F(MumEngineTest, AReadWaitsWhileTheToolIsBusyAndStopOrAReleaseReturnPromptly) {
    if (!IsWindows7OrLater())
        GTEST_SKIP() << "Vista has no feature query to wait for";
    unique_handle busy = HoldServicingLock();
    ASSERT_TRUE(busy);
    Features->Refresh();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(Features->GetReadState(), TReadState::rsLoading) << "the query is asked again every second";
    busy.reset();
    ASSERT_TRUE(WaitUntil([&] { return Features->GetReadState() == TReadState::rsLoaded; }));
    EXPECT_EQ(Features->GetFeatureCount(), 3);

    busy = HoldServicingLock();
    Features->Refresh();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    auto started = std::chrono::steady_clock::now();
    Features->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
    EXPECT_EQ(Features->GetReadState(), TReadState::rsLoading) << "until the next Refresh";
    busy.reset();
    // A Refresh while the stopped read still winds down does nothing.
    ASSERT_TRUE(WaitUntil([&] {
        Features->Refresh();
        return WaitUntil([&] { return Features->GetReadState() == TReadState::rsLoaded; },
                         std::chrono::seconds(5));
    }));

    TComPtr<IFeature> gold = Find(Features.get(), L"VelmoraGold");
    Features->InstallFeature(gold.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    started = std::chrono::steady_clock::now();
    Features->Stop();
    gold.reset();
    Features.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    // The packaging tool is never interrupted: it finishes the switch alone.
    EXPECT_TRUE(WaitUntil([&] { return Machine.UpdateState(L"VelmoraGold") == 1u; }));
    WaitUntil([] { return static_cast<bool>(HoldServicingLock()); }); // the tool has let go of the machine
}

// The engine with its poll in reach.
class TTestEngine : public TMumEngineWin8 {
public:
    using TMumEngineWin8::TMumEngineWin8;
    bool Poll() { return PollChanges(); }
};

const TFakeAppData Notes{L"Velmora.Notes_1.0.0.0_x64__v1", L"Notes", L"C:\\Apps\\Notes"};

// While it lives the system counts as Windows PE.
struct TWindowsPE {
    static constexpr const wchar_t* Key = L"SYSTEM\\CurrentControlSet\\Control\\MiniNT";
    TWindowsPE() { TRegKey::Create(HKEY_LOCAL_MACHINE, Key); }
    ~TWindowsPE() { DeleteKey(HKEY_LOCAL_MACHINE, Key); }
};

constexpr const wchar_t* ProvisionedKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\Applications\\";

// The Windows 8 engine's machine.
class MumEngineWin8Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IsWindows8OrLater())
            GTEST_SKIP() << "the servicing engine's machine";
        Machine.AddPackage({.Name = L"Microsoft-Windows-Foundation-Package",
                            .Updates = {{L"VelmoraGames", L"Games", L"Games for the desk"}},
                            .States = {{L"VelmoraGames", 1}}});
        Machine.InstallDoubles();
        Apps = MakeCom<TFakeAppList, TFakeAppList>();
        Engine = MakeCom<TTestEngine, TTestEngine>(TComPtr<IMetroAppCollection>(Apps.get()));
    }
    void TearDown() override {
        Engine.reset();
        // Children hold their parents: the trees must still let each other go.
        EXPECT_EQ(TLiveCount<TFeature>::Count(), 0);
    }

    IFeatures* Features() { return Engine.get(); }

    TServicingMachine Machine;
    TComPtr<TFakeAppList> Apps;
    TComPtr<TTestEngine> Engine;
};

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

TEST_F(MumEngineWin8PackagesTest, TheGroupShowsTheUsersAppsInTheTreeAndTheConsole) {
    TTestPackage notes = ProcessPackage(L"Features", L"Notes");
    notes.Description = L"Takes notes";
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

    // The console front end shows the group.
    auto [code, tree] = RunProgram(ThisModuleFolder() + L"velmora.exe", L"features --tree");
    EXPECT_EQ(code, 0) << tree;
    EXPECT_LT(tree.find("AppX"), tree.find("Velmora Atlas")) << tree;
}

} // namespace
