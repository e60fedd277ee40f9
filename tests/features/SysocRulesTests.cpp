#include "features/SysOCIniFile.h"
#include "features/SysocRules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

using namespace velmora;

TEST(SysocRules, MasterListLinesNameTheComponentFileAndWhetherItIsHidden) {
    TSysocFile games = ParseSysocFile(L"Games", L"ocgen.dll,OcEntry, gam es.inf ,,7", L"C:\\Windows\\Inf\\");
    EXPECT_EQ(games.FDllName, L"ocgen.dll");
    EXPECT_EQ(games.FDllEntryPoint, L"OcEntry");
    EXPECT_EQ(games.FFileName, L"C:\\Windows\\Inf\\games.inf");
    EXPECT_FALSE(games.FHidden);

    EXPECT_TRUE(ParseSysocFile(L"Secret", L"a.dll,E,secret.inf,HIDE,7", L"").FHidden);
    EXPECT_TRUE(ParseSysocFile(L"Secret", L"a.dll,E,secret.inf,hide", L"").FHidden);
    EXPECT_FALSE(ParseSysocFile(L"TerminalServer", L"tsoc.dll,HydraOc,tsoc.inf,hide,2", L"").FHidden);

    TSysocFile shortLine = ParseSysocFile(L"Short", L"a.dll,E,short.inf", L"C:\\Windows\\Inf\\");
    EXPECT_EQ(shortLine.FComponent, L"Short");
    EXPECT_TRUE(shortLine.FFileName.empty() && shortLine.FDllName.empty() &&
                shortLine.FDllEntryPoint.empty());
}

TEST(SysocRules, ComponentTextsAreSubstitutedFromTheStringsTable) {
    TSysOCIniFile ini(L"[Optional Components]\n"
                      L"Games\n"
                      L"NoSection\n"
                      L"Pinball\n"
                      L"[Games]\n"
                      L"OptionDesc = %GAMES_DESC%\n"
                      L"Tip = \"%games_tip% (%games_desc%)\"\n"
                      L"IconIndex = %icon%\n"
                      L"Parent = %parent%\n"
                      L"SizeApproximation = 1048576\n"
                      L"[Pinball]\n"
                      L"OptionDesc = \"%unknown%\"\n"
                      L"[Strings]\n"
                      L"games_desc = \"Games\"\n"
                      L"games_tip = \"Includes \"\"Solitaire\"\" %games_desc%\"\n"
                      L"icon = 47\n"
                      L"parent = AccessUtil\n");
    std::vector<TSysocComp> comps = ReadSysocComps(ini, L"games.inf");
    ASSERT_EQ(comps.size(), 2u);
    EXPECT_EQ(comps[0].FName, L"Games");
    EXPECT_EQ(comps[0].FDescription, L"Games");
    // A substituted text is not searched for tokens again.
    EXPECT_EQ(comps[0].FTip, L"Includes \"\"Solitaire\"\" %games_desc% (Games)");
    EXPECT_EQ(comps[0].FIconIndex, L"47");
    EXPECT_EQ(comps[0].FParent, L"%parent%");
    EXPECT_EQ(comps[0].FSize, L"1048576");
    EXPECT_EQ(comps[0].FPackage, L"games.inf");
    EXPECT_EQ(comps[1].FName, L"Pinball");
    EXPECT_EQ(comps[1].FDescription, L"%unknown%");
}

TEST(SysocRules, SizesAreThirtyTwoBitNumbersOrNothing) {
    EXPECT_EQ(SysocInstallSize(L"1048576"), 1048576);
    EXPECT_EQ(SysocInstallSize(L"-5"), -5);
    EXPECT_EQ(SysocInstallSize(L"4294967296"), 0);
    EXPECT_EQ(SysocInstallSize(L"12 MB"), 0);
}

TEST(SysocRules, NetworkComponentsAreSwitchedInTheirOwnSection) {
    for (auto [name, on, section, line] : {std::tuple{L"SNMP", true, L"[NetOptionalComponents]", L"SNMP=1"},
                                           {L"wins", false, L"[NetOptionalComponents]", L"wins=0"},
                                           {L"Games", true, L"[Components]", L"Games=on"},
                                           {L"Games", false, L"[Components]", L"Games=off"}})
        EXPECT_EQ(SysocAnswerFileLines(name, on), (std::vector<std::wstring>{section, line})) << name;
    EXPECT_TRUE(IsTrustedComponent(L"TSWebClient"));
    EXPECT_FALSE(IsTrustedComponent(L"games"));
}

namespace {

std::vector<std::wstring> Keys(const TSysOCIniFile& ini, std::wstring_view section) {
    std::vector<std::wstring> keys;
    ini.ReadSection(section, keys);
    return keys;
}

using Strings = std::vector<std::wstring>;

} // namespace

TEST(SysOCIniFile, KeysAndValuesFollowTheSplitAndCommentRules) {
    TSysOCIniFile ini(L"[Comp]\r\n"
                      L"  plain = value  \r\n"
                      L"two=equals=signs ; comment\r\n"
                      L"  bare key  \r\n"
                      L"\r\n"
                      L"   ; only a comment\r\n"
                      L"quoted = \"a;b\"\r\n"
                      L"empty=\r\n");
    EXPECT_EQ(Keys(ini, L"comp"), (Strings{L"plain", L"two=equals=signs", L"bare key", L"quoted", L"empty"}));
    EXPECT_EQ(ini.ReadString(L"Comp", L"PLAIN", L"-"), L"value");
    EXPECT_EQ(ini.ReadString(L"Comp", L"two=equals=signs", L"-"), L"");
    EXPECT_EQ(ini.ReadString(L"Comp", L"two", L"-"), L"-");
    EXPECT_EQ(ini.ReadString(L"Comp", L"quoted", L"-"), L"\"a");
    EXPECT_EQ(ini.ReadString(L"Comp", L"empty", L"-"), L"");
    EXPECT_EQ(ini.ReadString(L"Comp", L"missing", L"-"), L"-");
}

TEST(SysOCIniFile, RepeatedSectionsContributeInFileOrderAndFirstValueWins) {
    TSysOCIniFile ini(L"[A]\na=1\n[B]\nb=2\n[a] ; again\na=3\nc=4\n[]\nd=5\n[C]\n");
    EXPECT_EQ(Keys(ini, L"A"), (Strings{L"a", L"a", L"c"}));
    EXPECT_EQ(ini.ReadString(L"A", L"a", L""), L"1");
    EXPECT_EQ(ini.ReadString(L"A", L"C", L""), L"4");
    EXPECT_TRUE(ini.SectionExists(L"b"));
    EXPECT_FALSE(ini.SectionExists(L"C"));
    EXPECT_FALSE(ini.SectionExists(L"Missing"));
    EXPECT_FALSE(TSysOCIniFile().SectionExists(L"A"));
}

TEST(SysOCIniFile, BytesAreDecodedByTheirByteOrderMark) {
    const std::string utf16("\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\xE9\0", 18);
    EXPECT_EQ(TSysOCIniFile::FromBytes(utf16).ReadString(L"s", L"k", L""), L"\u00E9");
    EXPECT_EQ(TSysOCIniFile::FromBytes("\xEF\xBB\xBF[S]\nk=\xC3\xA9").ReadString(L"S", L"k", L""), L"\u00E9");
    EXPECT_EQ(TSysOCIniFile::FromBytes("[S]\nk=plain").ReadString(L"S", L"k", L""), L"plain");
}

TEST(SysOCIniFile, AFileLargerThanTheLimitIsRefusedUnread) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "velmora-sysoc-size.inf";
    for (uint64_t size : {TSysOCIniFile::MaxFileSize, TSysOCIniFile::MaxFileSize + 1}) {
        std::string bytes = "[S]\r\nk=v\r\n";
        bytes.resize(size, '\n');
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_EQ(TSysOCIniFile::Load(path.wstring()).SectionExists(L"S"), size <= TSysOCIniFile::MaxFileSize)
            << size;
    }
    std::filesystem::remove(path);
}
