#include "tools/velmora/FeatureReport.h"
#include "tests/TestBase.h"

#include <nlohmann/json.hpp>

using namespace velmora;
using namespace velmora::cli;

namespace {

// Games (enabled, trusted) > Chess (disabled) > Chess Online (enabled); a
// top-level feature whose display name is its name.
std::vector<TFeatureNode> SampleTree() {
    TFeatureNode online{
        L"ChessOnline", L"Chess Online", L"Play over the network", L"Games~pkg", true, false, {}};
    TFeatureNode chess{L"Chess", L"Chess \"Titans\"", L"", L"Games~pkg", false, false, {online}};
    TFeatureNode games{L"InboxGames", L"Games", L"Games for the desk", L"Games~pkg", true, true, {chess}};
    TFeatureNode telnet{L"TelnetClient", L"TelnetClient", L"", L"Telnet~pkg", false, false, {}};
    return {games, telnet};
}

} // namespace

TEST(FeatureReport, PeopleSeeEveryFeatureWithItsStateAndChildrenUnderTheirParents) {
    EXPECT_EQ(RenderFeatureTree(SampleTree()), L"[x] Games (InboxGames), trusted\n"
                                               L"    [ ] Chess \"Titans\" (Chess)\n"
                                               L"        [x] Chess Online (ChessOnline)\n"
                                               L"[ ] TelnetClient\n"
                                               L"\n"
                                               L"4 Windows features, 2 enabled\n");
    EXPECT_EQ(RenderFeatureTable(SampleTree()), L"Name          State     Trusted  Display name\n"
                                                L"------------  --------  -------  --------------\n"
                                                L"InboxGames    Enabled   yes      Games\n"
                                                L"Chess         Disabled  no       Chess \"Titans\"\n"
                                                L"ChessOnline   Enabled   no       Chess Online\n"
                                                L"TelnetClient  Disabled  no       TelnetClient\n"
                                                L"\n"
                                                L"4 Windows features, 2 enabled\n");
    EXPECT_EQ(RenderFeatureTree({}), L"No Windows features found.\n");
}

// An ordered document compares its fields' order too.
TEST(FeatureReport, JsonNestsChildrenAtEveryDepthInFieldOrder) {
    EXPECT_EQ(nlohmann::ordered_json::parse(Narrow(RenderFeatureJson(SampleTree()))),
              nlohmann::ordered_json::parse(R"([
        {"name": "InboxGames", "displayName": "Games", "enabled": true, "trusted": true,
         "description": "Games for the desk", "packageName": "Games~pkg", "children": [
            {"name": "Chess", "displayName": "Chess \"Titans\"", "enabled": false, "trusted": false,
             "description": "", "packageName": "Games~pkg", "children": [
                {"name": "ChessOnline", "displayName": "Chess Online", "enabled": true, "trusted": false,
                 "description": "Play over the network", "packageName": "Games~pkg", "children": []}]}]},
        {"name": "TelnetClient", "displayName": "TelnetClient", "enabled": false, "trusted": false,
         "description": "", "packageName": "Telnet~pkg", "children": []}])"));
    EXPECT_EQ(RenderFeatureJson({}), L"[]\n");
}
