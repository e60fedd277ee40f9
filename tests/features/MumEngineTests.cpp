// The servicing engine through IFeatures on a laid-out servicing machine, on
// Windows 7 (the packaging tool's feature table) and Vista (the registry alone).
#include "features/MumEngine.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/XmlDocument.h"
#include "tests/Polling.h"
#include "tests/features/FeatureTree.h"
#include "tests/features/ServicingMachine.h"
#include "tests/library/LibraryHarness.h"

#include <gtest/gtest.h>

#include <chrono>

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

class MumEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
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
        Machine.AddPackage(
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

    EXPECT_EQ(Text(games.get(), &IFeature::GetDescription), L"Games in the system's language");
    EXPECT_EQ(Text(games.get(), &IFeature::GetInstallUser), AccountOf(WinLocalSystemSid));
    EXPECT_EQ(Text(games.get(), &IFeature::GetInstallClient), L"DISM Package Manager Provider");
    EXPECT_EQ(Text(games.get(), &IFeature::GetPackageName).rfind(L"Microsoft-Windows-Foundation-Package~", 0),
              0u);
    EXPECT_GT(games->GetInstallTime(), 40000.0) << "the package's install time as a date";
    // Through IProduct, as the product pages read it.
    unique_variant enabled, name;
    games->GetInfo(25, enabled.put());
    games->GetInfo(28, name.put());
    EXPECT_EQ(V_VT(&enabled.get()), VT_BOOL);
    EXPECT_EQ(V_BSTR(&name.get()), std::wstring(L"VelmoraGames"));
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
    TComPtr<IFeature> loop = Find(Features.get(), L"VelmoraLoop"),
                      ringA = Find(Features.get(), L"VelmoraRingA"),
                      ringB = Find(Features.get(), L"VelmoraRingB"), parent, rootA, rootB;
    ASSERT_TRUE(loop && ringA && ringB) << Narrow(Outline(Features.get()));
    loop->GetParent(parent.put());
    EXPECT_FALSE(parent);
    EXPECT_EQ(loop->GetChildCount(), 0);
    ringA->GetParentRoot(rootA.put());
    ringB->GetParentRoot(rootB.put());
    EXPECT_EQ(rootA.get(), rootB.get()) << "one tree of the two";
    EXPECT_EQ(rootA->GetTotalCount(), 1);
    // Vista: enabled by default, as a top-level update; 7: the tool's table.
    EXPECT_EQ(loop->GetEnabled(), !IsWindows7OrLater());
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
    EXPECT_EQ(Machine.UpdateState(L"VelmoraGold"), 1u);
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
    EXPECT_EQ(Machine.UpdateState(L"VelmoraGold"), 0u);
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

// The console front end picks this engine, lists the tree and switches a feature.
TEST_F(MumEngineTest, TheConsoleFrontEndListsTheTreeAndSwitchesAFeature) {
    const std::wstring velmora = ThisModuleFolder() + L"velmora.exe";
    auto [code, tree] = RunProgram(velmora, L"features --tree");
    EXPECT_EQ(code, 0) << tree;
    const size_t games = tree.find("VelmoraGames"), chess = tree.find("VelmoraChess");
    ASSERT_NE(chess, std::string::npos) << tree;
    EXPECT_LT(games, chess) << "a child below its parent";

    auto [enabled, output] = RunProgram(velmora, L"feature enable NetFx3");
    EXPECT_EQ(enabled, 0) << output;
    EXPECT_EQ(Machine.UpdateState(L"NetFx3"), 1u);
    EXPECT_EQ(RunProgram(velmora, L"feature enable VelmoraNoSuchFeature").first, 17);
}

} // namespace
