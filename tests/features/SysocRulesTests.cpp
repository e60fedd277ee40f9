#include "features/SysOCIniFile.h"
#include "features/SysocRules.h"
#include "tests/TestBase.h"

using namespace velmora;

TEST(SysocRules, MasterListLinesNameTheComponentFileAndWhetherItIsHidden) {
    for (auto [component, value, expected] :
         {std::tuple{L"Games", L"ocgen.dll,OcEntry, gam es.inf ,,7",
                     L"Games|ocgen.dll|OcEntry|C:\\I\\games.inf|False"},
          {L"Secret", L"a.dll,E,secret.inf,HIDE,7", L"Secret|a.dll|E|C:\\I\\secret.inf|True"},
          {L"Secret", L"a.dll,E,secret.inf,hide", L"Secret|a.dll|E|C:\\I\\secret.inf|True"},
          {L"TerminalServer", L"tsoc.dll,HydraOc,tsoc.inf,hide,2",
           L"TerminalServer|tsoc.dll|HydraOc|C:\\I\\tsoc.inf|False"},
          {L"Short", L"a.dll,E,short.inf", L"Short||||False"}}) {
        const TSysocFile file = ParseSysocFile(component, value, L"C:\\I\\");
        EXPECT_EQ(Format(L"%s|%s|%s|%s|%d", file.FComponent, file.FDllName, file.FDllEntryPoint,
                         file.FFileName, file.FHidden),
                  expected);
    }
}

// A substituted text is not searched for tokens again; a component without a
// section of its own is left out.
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
    std::vector<std::wstring> comps;
    for (const TSysocComp& c : ReadSysocComps(ini, L"games.inf"))
        comps.push_back(Format(L"%s|%s|%s|%s|%s|%s|%s", c.FName, c.FDescription, c.FTip, c.FIconIndex,
                               c.FParent, c.FSize, c.FPackage));
    EXPECT_EQ(
        comps,
        (std::vector<std::wstring>{
            L"Games|Games|Includes \"\"Solitaire\"\" %games_desc% (Games)|47|%parent%|1048576|games.inf",
            L"Pinball|%unknown%|||||games.inf"}));
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
