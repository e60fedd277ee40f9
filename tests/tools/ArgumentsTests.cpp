#include "tools/velmora/Arguments.h"
#include "tests/TestBase.h"

using namespace velmora;
using namespace velmora::cli;

TEST(Arguments, CommandsTakeTheirNamesAndOptionsOrSayWhatIsWrong) {
    const struct {
        std::vector<std::wstring> Args;
        std::wstring Parsed; // "command kind json yes timeout name setting tree all", or the error
    } cases[] = {
        {{}, L"0 0 0 0 300 "},
        {{L"list", L"--json", L"--updates", L"--timeout", L"30"}, L"2 1 1 0 30 "},
        {{L"forget", L"Velmora Tracker", L"--timeout", L"45"}, L"8 0 0 0 45 Velmora Tracker"},
        {{L"leftovers", L"Velmora Tracker", L"--json"}, L"9 0 1 0 300 Velmora Tracker"},
        {{L"force-remove", L"App", L"--json", L"--yes"}, L"10 0 1 1 300 App"},
        {{L"force-remove", L"App", L"--json"}, L"force-remove --json cannot ask its questions: add --yes."},
        {{L"leftovers", L"App", L"--yes"}, L"Unknown option \"--yes\" for \"leftovers\"."},
        {{L"force-remove", L"--yes"}, L"Give the name of the program or update to force-remove."},
        {{L"frobnicate"}, L"Unknown command \"frobnicate\"."},
        {{L"list", L"--updates", L"--unused"}, L"Give at most one of --updates and --unused."},
        {{L"repair", L"App", L"--json"}, L"Unknown option \"--json\" for \"repair\"."},
        {{L"uninstall"}, L"Give the name of the program or update to uninstall."},
        {{L"show", L"--json"}, L"Give the name of the program or update to show."},
        {{L"list", L"--timeout", L"12x"}, L"--timeout needs a number of seconds from 1 to 999999."},
        {{L"backups", L"--json"}, L"11 0 1 0 300  -"},
        {{L"restore", L"20261207-014512-0001"}, L"12 0 0 0 300 20261207-014512-0001 -"},
        {{L"restore"}, L"Give the identifier of the backup set to restore (see backups)."},
        {{L"restore", L"X", L"--yes"}, L"Unknown option \"--yes\" for \"restore\"."},
        {{L"backup-setting"}, L"13 0 0 0 300  -"},
        {{L"backup-setting", L"off"}, L"13 0 0 0 300  off"},
        {{L"backup-setting", L"on"}, L"13 0 0 0 300  on"},
        {{L"backup-setting", L"maybe"}, L"backup-setting takes nothing, on or off."},
        {{L"features", L"--tree", L"--all", L"--timeout", L"20"}, L"14 0 0 0 20  - tree all"},
        {{L"features", L"--json"}, L"14 0 1 0 300  -"},
        {{L"features", L"--tree", L"--json"},
         L"Give at most one of --tree and --json (JSON always nests the children)."},
        {{L"list", L"--tree"}, L"Unknown option \"--tree\" for \"list\"."},
        {{L"feature", L"disable", L"TelnetClient", L"--timeout", L"60"}, L"16 0 0 0 60 TelnetClient -"},
        {{L"feature", L"remove", L"Velmora Notes"}, L"17 0 0 0 300 Velmora Notes -"},
        {{L"feature", L"enable", L"--timeout"},
         L"Give enable, disable or remove and the name of the Windows feature."},
        {{L"feature", L"toggle", L"TelnetClient"},
         L"Give enable, disable or remove and the name of the Windows feature."},
        {{L"feature", L"enable", L"X", L"--json"}, L"Unknown option \"--json\" for \"feature\"."},
    };
    for (const auto& c : cases) {
        std::wstring error;
        auto a = ParseArguments(c.Args, error);
        SCOPED_TRACE(Narrow(c.Args.empty() ? L"" : c.Args.back()));
        const wchar_t* setting = !a || a->Command < TCommand::Backups ? L""
                                 : !a->Setting                        ? L" -"
                                 : *a->Setting                        ? L" on"
                                                                      : L" off";
        EXPECT_EQ(a ? Format(L"%d %d %d %d %d %s%s%s%s", int(a->Command), int(a->Kind), int(a->Json),
                             int(a->Yes), int(a->TimeoutSeconds), a->Name, setting, a->Tree ? L" tree" : L"",
                             a->ShowHidden ? L" all" : L"")
                    : error,
                  c.Parsed);
    }
}
