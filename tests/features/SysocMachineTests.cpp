// The optional-components engine on a machine of its own (a prefix that
// reports Windows XP x64): a master list and component files laid into the
// Windows folder's Inf folder, component states in the registry, and the
// manager's double in the system folder. The engine is used through
// IFeatures, as the front end uses it.
#include "features/SysocEngine.h"
#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/Polling.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace velmora;
using velmora::testing::WaitUntil;

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

std::string Utf16WithMark(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text)
        bytes += {char(c & 0xFF), char(c >> 8)};
    return bytes;
}

// The master list, four component files (one in UTF-16, one listed as
// hidden), one file that is missing, and the components' registry values.
// AccessUtil, NetOC and the two components that name each other as parent
// have no value of their own, so their state is their children's.
class TSysocMachine {
public:
    TSysocMachine() {
        WriteBytes(InfFolder() + L"sysoc.inf",
                   "[Version]\r\n"
                   "Signature = \"$Windows NT$\"\r\n"
                   "\r\n"
                   "[Components]\r\n"
                   "AccessUtil = ocgen.dll,OcEntry,vt_games.inf,,7\r\n"
                   "NetOC = netoc.dll,NetOcSetupProc, vt_net.inf ,,7 ; network\r\n"
                   "Secret = ocgen.dll,OcEntry,vt_secret.inf,HIDE,7\r\n"
                   "TerminalServer = tsoc.dll,HydraOc,vt_ts.inf,hide,2\r\n"
                   "Missing = ocgen.dll,OcEntry,vt_missing.inf,,7\r\n");
        WriteBytes(InfFolder() + L"vt_games.inf", "[Optional Components]\r\n"
                                                  "AccessUtil\r\n"
                                                  "Games\r\n"
                                                  "Solitaire\r\n"
                                                  "Chess\r\n"
                                                  "Pinball ; listed without a section\r\n"
                                                  "\r\n"
                                                  "[AccessUtil]\r\n"
                                                  "OptionDesc = \"%access_desc%\"\r\n"
                                                  "Tip = %ACCESS_TIP%\r\n"
                                                  "\r\n"
                                                  "[Games]\r\n"
                                                  "OptionDesc = %games_desc%\r\n"
                                                  "Parent = AccessUtil\r\n"
                                                  "SizeApproximation = 1048576\r\n"
                                                  "\r\n"
                                                  "[Solitaire]\r\n"
                                                  "OptionDesc = Solitaire\r\n"
                                                  "Parent = games\r\n"
                                                  "\r\n"
                                                  "[Chess]\r\n"
                                                  "OptionDesc = \"  \"\r\n"
                                                  "Parent = Games\r\n"
                                                  "\r\n"
                                                  "[Strings]\r\n"
                                                  "access_desc = \"Accessories and Utilities\"\r\n"
                                                  "access_tip = \"Includes %games_desc%\"\r\n"
                                                  "games_desc = \"Games\"\r\n");
        WriteBytes(InfFolder() + L"vt_net.inf",
                   Utf16WithMark(L"[Optional Components]\r\n"
                                 L"NetOC\r\n"
                                 L"SNMP\r\n"
                                 L"[NetOC]\r\n"
                                 L"OptionDesc = %netoc%\r\n"
                                 L"[SNMP]\r\n"
                                 L"OptionDesc = Simple Network Management Protocol\r\n"
                                 L"Parent = NetOC\r\n"
                                 L"[Strings]\r\n"
                                 L"netoc = \"Networking Services\"\r\n"));
        WriteBytes(InfFolder() + L"vt_secret.inf",
                   "[Optional Components]\r\nSecret\r\n[Secret]\r\nOptionDesc = Secret\r\n");
        WriteBytes(InfFolder() + L"vt_ts.inf", "[Optional Components]\r\n"
                                               "TerminalServer\r\n"
                                               "LoopA\r\n"
                                               "LoopB\r\n"
                                               "[TerminalServer]\r\n"
                                               "OptionDesc = Terminal Server\r\n"
                                               "[LoopA]\r\n"
                                               "OptionDesc = Loop A\r\n"
                                               "Parent = LoopB\r\n"
                                               "[LoopB]\r\n"
                                               "OptionDesc = Loop B\r\n"
                                               "Parent = LoopA\r\n");
        TRegKey key = TRegKey::Create(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_ALL_ACCESS, TRegView::x64);
        for (auto [name, state] : {std::pair{L"Games", 0},
                                   {L"Solitaire", 1},
                                   {L"Chess", 1},
                                   {L"SNMP", 0},
                                   {L"Secret", 1},
                                   {L"TerminalServer", 1}})
            key.WriteNumber(name, state);
    }
    ~TSysocMachine() {
        for (const wchar_t* file :
             {L"sysoc.inf", L"vt_games.inf", L"vt_net.inf", L"vt_secret.inf", L"vt_ts.inf"})
            DeleteFileW((InfFolder() + file).c_str());
        TRegKey key = TRegKey::Open(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_ALL_ACCESS, TRegView::x64);
        for (const wchar_t* name : {L"Games", L"Solitaire", L"Chess", L"SNMP", L"Secret", L"TerminalServer"})
            key.DeleteValue(name);
    }
};

std::wstring Text(IFeature* feature, void (STDMETHODCALLTYPE IFeature::*get)(BSTR*)) {
    unique_bstr text;
    (feature->*get)(text.put());
    return BstrText(text.get());
}

// One line a feature, indented by its depth:
// name "display name" enabled|disabled [trusted] icon=<index>
void Outline(IFeature* feature, int depth, std::vector<std::wstring>& lines) {
    lines.push_back(Format(L"%s%s \"%s\" %s%s icon=%d", std::wstring(2 * depth, L' '),
                           Text(feature, &IFeature::GetName), Text(feature, &IFeature::GetDisplayName),
                           feature->GetEnabled() ? L"enabled" : L"disabled",
                           feature->GetTrusted() ? L" trusted" : L"", feature->GetFeatureImageIndex()));
    for (int32_t i = 0; i < feature->GetChildCount(); ++i) {
        TComPtr<IFeature> child;
        feature->GetChild(i, child.put());
        Outline(child.get(), depth + 1, lines);
    }
}

std::vector<std::wstring> Outline(IFeatures* features) {
    std::vector<std::wstring> lines;
    features->Lock();
    for (int32_t i = 0; i < features->GetFeatureCount(); ++i) {
        TComPtr<IFeature> feature;
        features->GetFeature(i, feature.put());
        Outline(feature.get(), 0, lines);
    }
    features->Unlock();
    return lines;
}

// The top-level feature of that name, or, below them, the first in pre-order.
TComPtr<IFeature> FindFeature(IFeatures* features, const wchar_t* name) {
    features->Lock();
    TComPtr<IFeature> found;
    for (int32_t i = 0; i < features->GetFeatureCount() && !found; ++i) {
        TComPtr<IFeature> feature;
        features->GetFeature(i, feature.put());
        if (Text(feature.get(), &IFeature::GetName) == name)
            found = feature;
        else
            feature->Find(name, found.put());
    }
    features->Unlock();
    return found;
}

bool ReadTree(IFeatures* features) {
    features->Refresh();
    return WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; });
}

// The manager's double where the engine's command finds it, and the command
// lines it was started with.
class TManagerDouble {
public:
    TManagerDouble() {
        CopyFileW((ThisModuleFolder() + L"sysocmgr_double.exe").c_str(), FTool.c_str(), FALSE);
        DeleteFileW(FCalls.c_str());
    }
    ~TManagerDouble() {
        DeleteFileW(FTool.c_str());
        DeleteFileW(FCalls.c_str());
    }
    bool Installed() const { return GetFileAttributesW(FTool.c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::vector<std::wstring> Calls() const {
        std::string bytes = Bytes(FCalls);
        return SplitLines(
            std::wstring_view(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    }

private:
    const std::wstring FTool = SystemFolder() + L"\\sysocmgr.exe";
    const std::wstring FCalls = FTool + L".calls";
};

class SysocMachine : public ::testing::Test {
protected:
    // Before the engine: it opens the registry key once, when it is created.
    TSysocMachine FMachine;
    TComPtr<IFeatures> FEngine = MakeCom<TSysocEngine, IFeatures>();
};

} // namespace

// Icons: 5 is the default feature icon, then one per group in the engine's
// order: 8 games, 11 network, 14 applications.
TEST_F(SysocMachine, TheTreeFollowsTheMasterListTheComponentFilesAndTheRegistry) {
    ASSERT_TRUE(ReadTree(FEngine.get()));
    EXPECT_EQ(Outline(FEngine.get()),
              (std::vector<std::wstring>{
                  L"AccessUtil \"Accessories and Utilities\" disabled trusted icon=14",
                  L"  Games \"Games\" disabled trusted icon=8",
                  L"    Chess \"Chess\" enabled icon=8",
                  L"    Solitaire \"Solitaire\" enabled trusted icon=8",
                  L"LoopA \"Loop A\" disabled icon=5",
                  L"  LoopB \"Loop B\" disabled icon=5",
                  L"NetOC \"Networking Services\" disabled trusted icon=11",
                  L"  SNMP \"Simple Network Management Protocol\" disabled trusted icon=11",
                  L"TerminalServer \"Terminal Server\" enabled trusted icon=5",
              }));
    TComPtr<IFeature> games = FindFeature(FEngine.get(), L"Games");
    ASSERT_TRUE(games);
    EXPECT_EQ(games->GetInstallSize(), 1048576);
    EXPECT_EQ(Text(games.get(), &IFeature::GetPackageName), L"vt_games.inf");
    // A token is replaced only when the text as written names it.
    TComPtr<IFeature> accessories = FindFeature(FEngine.get(), L"AccessUtil");
    EXPECT_EQ(Text(accessories.get(), &IFeature::GetDescription), L"Includes %games_desc%");

    FEngine->SetShowHidden(true);
    ASSERT_TRUE(ReadTree(FEngine.get()));
    EXPECT_EQ(FEngine->GetFeatureCount(), 5);
    TComPtr<IFeature> secret;
    FEngine->GetFeature(3, secret.put());
    ASSERT_TRUE(secret);
    EXPECT_EQ(Text(secret.get(), &IFeature::GetName), L"Secret");
    EXPECT_FALSE(secret->GetTrusted());
    EXPECT_EQ(secret->GetFeatureImageIndex(), 5);
}

// The switch writes the answer file, runs the manager on it and leaves the
// tree alone; the watch reports the manager's registry change on the next
// poll after the switch, which reads the tree again.
TEST_F(SysocMachine, SwitchingRunsTheManagerAndTheNextPollReadsTheNewState) {
    TManagerDouble manager;
    ASSERT_TRUE(manager.Installed());
    const std::wstring answerFile = AppDataFolder() + L"\\Velmora\\Helper\\unattended.txt";
    ASSERT_TRUE(ReadTree(FEngine.get()));
    FEngine->GetStateStamp(); // arms the watch

    auto switchAndReread = [&](const wchar_t* name, const char* expectedAnswer, const wchar_t* group) {
        TComPtr<IFeature> feature = FindFeature(FEngine.get(), name);
        ASSERT_TRUE(feature && !feature->GetEnabled());
        FEngine->InstallFeature(feature.get());
        EXPECT_EQ(FEngine->GetInstallState(), TInstallState::isInstalling);
        ASSERT_TRUE(WaitUntil([&] { return FEngine->GetInstallState() == TInstallState::isNone; }));
        EXPECT_EQ(Bytes(answerFile), expectedAnswer);
        EXPECT_FALSE(FindFeature(FEngine.get(), name)->GetEnabled()) << "read again only when a poll tells";

        ASSERT_TRUE(WaitUntil([&] {
            FEngine->GetStateStamp();
            TComPtr<IFeature> reread = FindFeature(FEngine.get(), name);
            return FEngine->GetReadState() == TReadState::rsLoaded && reread && reread->GetEnabled();
        }));
        EXPECT_TRUE(FindFeature(FEngine.get(), group)->GetEnabled()) << "its group's state follows";
    };
    switchAndReread(L"SNMP", "[NetOptionalComponents]\r\nSNMP=1\r\n", L"NetOC");
    switchAndReread(L"Games", "[Components]\r\nGames=on\r\n", L"AccessUtil");

    const std::wstring command =
        Format(L"sysocmgr /q /i:\"%s\" /u:\"%s\"", InfFolder() + L"sysoc.inf", answerFile);
    EXPECT_EQ(manager.Calls(), (std::vector<std::wstring>{command, command}));
}

TEST_F(SysocMachine, ASecondSwitchWhileOneRunsIsDropped) {
    TManagerDouble manager;
    ASSERT_TRUE(manager.Installed());
    ASSERT_TRUE(ReadTree(FEngine.get()));

    FEngine->UninstallFeature(FindFeature(FEngine.get(), L"Chess").get());
    FEngine->InstallFeature(FindFeature(FEngine.get(), L"SNMP").get());
    EXPECT_EQ(FEngine->GetInstallState(), TInstallState::isUninstalling);
    ASSERT_TRUE(WaitUntil([&] { return FEngine->GetInstallState() == TInstallState::isNone; }));
    EXPECT_EQ(manager.Calls().size(), 1u);
    EXPECT_EQ(
        TRegKey::Open(HKEY_LOCAL_MACHINE, SubcomponentsKey, KEY_READ, TRegView::x64).ReadNumber(L"Chess"),
        0u);
}

// Stopping leaves the read unfinished; a Refresh once the stopped thread has
// ended reads the whole tree.
TEST_F(SysocMachine, AStoppedReadStaysLoadingUntilARefreshReadsAgain) {
    FEngine->Refresh();
    FEngine->Stop();
    EXPECT_EQ(FEngine->GetReadState(), TReadState::rsLoading);
    ASSERT_TRUE(WaitUntil([&] {
        if (FEngine->GetReadState() == TReadState::rsLoaded)
            return true;
        FEngine->Refresh();
        return false;
    }));
    EXPECT_EQ(FEngine->GetTotalCount(), 9);
}
