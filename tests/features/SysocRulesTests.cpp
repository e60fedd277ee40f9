#include "features/SysocRules.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(SysocAnswerFileLines(L"SNMP", true),
              (std::vector<std::wstring>{L"[NetOptionalComponents]", L"SNMP=1"}));
    EXPECT_EQ(SysocAnswerFileLines(L"wins", false),
              (std::vector<std::wstring>{L"[NetOptionalComponents]", L"wins=0"}));
    EXPECT_EQ(SysocAnswerFileLines(L"Games", true),
              (std::vector<std::wstring>{L"[Components]", L"Games=on"}));
    EXPECT_EQ(SysocAnswerFileLines(L"Games", false),
              (std::vector<std::wstring>{L"[Components]", L"Games=off"}));
    EXPECT_TRUE(IsTrustedComponent(L"TSWebClient"));
    EXPECT_FALSE(IsTrustedComponent(L"games"));
}
