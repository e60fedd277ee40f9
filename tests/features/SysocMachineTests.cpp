// The optional-components engine through IFeatures on a Windows XP x64 prefix:
// component files in the Inf folder, states in the registry, the manager's double.
#include "features/SysocEngine.h"
#include "platform/ComText.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/features/FeatureTree.h"
#include "tests/TestBase.h"

#include <iterator>

using namespace velmora;
using namespace velmora::testing;

namespace {

const wchar_t SubcomponentsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\Oc Manager\\Subcomponents";

std::wstring InfFolder() {
    return WindowsFolder() + L"\\Inf\\";
}

std::string Bytes(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

// The master list, four component files (one listed as hidden), one file
// that is missing, and the components' registry values: Games and SNMP off,
// the others on. AccessUtil, NetOC and the two components that name each
// other as parent have no value of their own: their state is their children's.
// The manager's double is where the engine's command finds it and writes the
// command lines it was started with beside it.
class SysocMachine : public ::testing::Test {
protected:
    SysocMachine() {
        for (const auto& [name, text] : Files)
            WriteBytes(InfFolder() + name, text);
        TRegKey key = TRegKey::Create(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_ALL_ACCESS, TRegView::x64);
        for (const auto& [name, on] : States)
            key.WriteNumber(name, on);
        EXPECT_TRUE(CopyFileW((ThisModuleFolder() + L"sysocmgr_double.exe").c_str(), Tool.c_str(), FALSE));
        DeleteFileW(Calls.c_str());
        // After the key: the engine opens it once, when it is created.
        FEngine = MakeCom<TSysocEngine, IFeatures>();
    }
    ~SysocMachine() override {
        FEngine.reset();
        for (const auto& [name, text] : Files)
            DeleteFileW((InfFolder() + name).c_str());
        TRegKey key = TRegKey::Open(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_ALL_ACCESS, TRegView::x64);
        for (const auto& [name, on] : States)
            key.DeleteValue(name);
        DeleteFileW(Tool.c_str());
        DeleteFileW(Calls.c_str());
    }

    const std::wstring Tool = SystemFolder() + L"\\sysocmgr.exe", Calls = Tool + L".calls";
    TComPtr<IFeatures> FEngine;

    static constexpr std::pair<const wchar_t*, const char*> Files[] = {
        {L"sysoc.inf", "[Components]\r\nAccessUtil = ocgen.dll,OcEntry,vt_games.inf,,7\r\n"
                       "NetOC = netoc.dll,NetOcSetupProc,vt_net.inf,,7\r\n"
                       "Secret = ocgen.dll,OcEntry,vt_secret.inf,HIDE,7\r\n"
                       "TerminalServer = tsoc.dll,HydraOc,vt_ts.inf,hide,2\r\n"
                       "Missing = ocgen.dll,OcEntry,vt_missing.inf,,7\r\n"},
        {L"vt_games.inf",
         "[Optional Components]\r\nAccessUtil\r\nGames\r\nSolitaire\r\nChess\r\n"
         "[AccessUtil]\r\nOptionDesc = \"%access_desc%\"\r\nTip = %ACCESS_TIP%\r\n"
         "[Games]\r\nOptionDesc = %games_desc%\r\nParent = AccessUtil\r\nSizeApproximation = 1048576\r\n"
         "[Solitaire]\r\nOptionDesc = Solitaire\r\nParent = games\r\n"
         "[Chess]\r\nOptionDesc = \"  \"\r\nParent = Games\r\n"
         "[Strings]\r\naccess_desc = \"Accessories and Utilities\"\r\n"
         "access_tip = \"Includes %games_desc%\"\r\ngames_desc = \"Games\"\r\n"},
        {L"vt_net.inf",
         "[Optional Components]\r\nNetOC\r\nSNMP\r\n[NetOC]\r\nOptionDesc = Networking Services\r\n"
         "[SNMP]\r\nOptionDesc = Simple Network Management Protocol\r\nParent = NetOC\r\n"},
        {L"vt_secret.inf", "[Optional Components]\r\nSecret\r\n[Secret]\r\nOptionDesc = Secret\r\n"},
        {L"vt_ts.inf", "[Optional Components]\r\nTerminalServer\r\nLoopA\r\nLoopB\r\n"
                       "[TerminalServer]\r\nOptionDesc = Terminal Server\r\n"
                       "[LoopA]\r\nOptionDesc = Loop A\r\nParent = LoopB\r\n"
                       "[LoopB]\r\nOptionDesc = Loop B\r\nParent = LoopA\r\n"}};
    static constexpr std::pair<const wchar_t*, DWORD> States[] = {{L"Games", 0},  {L"Solitaire", 1},
                                                                  {L"Chess", 1},  {L"SNMP", 0},
                                                                  {L"Secret", 1}, {L"TerminalServer", 1}};
};

} // namespace

// Icons: 5 is the default feature icon, then one per group in the engine's
// order: 8 games, 11 network, 14 applications; rating 2 is trusted, 3 unknown.
TEST_F(SysocMachine, TheTreeFollowsTheMasterListTheComponentFilesAndTheRegistry) {
    ASSERT_TRUE(Read(FEngine.get()));
    EXPECT_EQ(Lines(FEngine.get()),
              (std::vector<std::wstring>{
                  L"AccessUtil \"Accessories and Utilities\" disabled actions=64 rating=2 icon=14",
                  L"  Games \"Games\" disabled actions=64 rating=2 icon=8",
                  L"    Chess \"Chess\" enabled actions=1 rating=3 icon=8",
                  L"    Solitaire \"Solitaire\" enabled actions=1 rating=2 icon=8",
                  L"LoopA \"Loop A\" disabled actions=64 rating=3 icon=5",
                  L"  LoopB \"Loop B\" disabled actions=64 rating=3 icon=5",
                  L"NetOC \"Networking Services\" disabled actions=64 rating=2 icon=11",
                  L"  SNMP \"Simple Network Management Protocol\" disabled actions=64 rating=2 icon=11",
                  L"TerminalServer \"Terminal Server\" enabled actions=1 rating=2 icon=5",
              }));
    TComPtr<IFeature> games = Find(FEngine.get(), L"Games");
    ASSERT_TRUE(games);
    EXPECT_EQ(games->GetInstallSize(), 1048576);
    EXPECT_EQ(Text(games.get(), &IFeature::GetPackageName), L"vt_games.inf");
    // The tip is the description; a token is replaced only where the text as written names it.
    EXPECT_EQ(Text(Find(FEngine.get(), L"AccessUtil").get(), &IFeature::GetDescription),
              L"Includes %games_desc%");

    FEngine->SetShowHidden(true);
    ASSERT_TRUE(Read(FEngine.get()));
    EXPECT_EQ(FEngine->GetFeatureCount(), 5);
    EXPECT_EQ(Lines(FEngine.get()).at(8), L"Secret \"Secret\" enabled actions=1 rating=3 icon=5");
}

// The switch writes the answer file (its sections: SysocRules), runs the
// manager on it and leaves the tree alone; the watch reports the manager's
// registry change on the next poll, which reads the tree again. A second
// switch while one runs is dropped.
TEST_F(SysocMachine, SwitchingRunsTheManagerOneAtATimeAndTheNextPollReadsTheNewState) {
    const std::wstring answerFile = AppDataFolder() + L"\\Velmora\\Helper\\unattended.txt";
    ASSERT_TRUE(Read(FEngine.get()));
    FEngine->GetStateStamp(); // arms the watch
    TComPtr<IFeature> snmp = Find(FEngine.get(), L"SNMP");
    ASSERT_TRUE(snmp && !snmp->GetEnabled());
    FEngine->InstallFeature(snmp.get());
    EXPECT_EQ(FEngine->GetInstallState(), TInstallState::isInstalling);
    ASSERT_TRUE(WaitUntil([&] { return FEngine->GetInstallState() == TInstallState::isNone; }));
    EXPECT_EQ(Bytes(answerFile), "[NetOptionalComponents]\r\nSNMP=1\r\n");
    EXPECT_FALSE(Find(FEngine.get(), L"SNMP")->GetEnabled()) << "read again only when a poll tells";
    ASSERT_TRUE(WaitUntil([&] {
        FEngine->GetStateStamp();
        TComPtr<IFeature> reread = Find(FEngine.get(), L"SNMP");
        return FEngine->GetReadState() == TReadState::rsLoaded && reread && reread->GetEnabled();
    }));
    EXPECT_TRUE(Find(FEngine.get(), L"NetOC")->GetEnabled()) << "its group's state follows";

    FEngine->UninstallFeature(Find(FEngine.get(), L"Chess").get());
    FEngine->InstallFeature(Find(FEngine.get(), L"LoopA").get());
    EXPECT_EQ(FEngine->GetInstallState(), TInstallState::isUninstalling);
    ASSERT_TRUE(WaitUntil([&] { return FEngine->GetInstallState() == TInstallState::isNone; }));
    EXPECT_EQ(
        TRegKey::Open(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_READ, TRegView::x64).ReadNumber(L"Chess"),
        0u);
    const std::wstring command = Format(L"\"%s\\sysocmgr.exe\" /q /i:\"%s\" /u:\"%s\"", SystemFolder(),
                                        InfFolder() + L"sysoc.inf", answerFile);
    const std::string calls = Bytes(Calls);
    EXPECT_EQ(SplitLines(std::wstring_view(reinterpret_cast<const wchar_t*>(calls.data()), calls.size() / 2)),
              (std::vector<std::wstring>{command, command}));
}
