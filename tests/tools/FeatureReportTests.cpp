#include "tools/velmora/FeatureReport.h"

#include "platform/Format.h"

#include <gtest/gtest.h>
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

TEST(FeatureReport, JsonNestsChildrenAtEveryDepth) {
    auto json = nlohmann::ordered_json::parse(Narrow(RenderFeatureJson(SampleTree())));
    ASSERT_EQ(json.size(), 2u);
    const auto& games = json[0];
    std::vector<std::string> keys;
    for (const auto& item : games.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"name", "displayName", "enabled", "trusted", "description",
                                              "packageName", "children"}));
    EXPECT_EQ(games["trusted"], true);
    const auto& chess = games["children"][0];
    EXPECT_EQ(chess["displayName"], "Chess \"Titans\"");
    EXPECT_EQ(chess["enabled"], false);
    EXPECT_EQ(chess["children"][0]["name"], "ChessOnline");
    EXPECT_EQ(chess["children"][0]["children"], nlohmann::ordered_json::array());
    EXPECT_EQ(json[1]["children"].size(), 0u);
    EXPECT_EQ(RenderFeatureJson({}), L"[]\n");
}
