#include "tools/velmora/Arguments.h"

#include <gtest/gtest.h>

using namespace velmora::cli;

TEST(Arguments, CommandsTakeTheirNamesAndOptionsOrSayWhatIsWrong) {
    std::wstring error;
    EXPECT_EQ(ParseArguments({}, error)->Command, TCommand::Help);
    auto list = ParseArguments({L"list", L"--json", L"--updates", L"--timeout", L"30"}, error);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Kind, TListKind::Updates);
    EXPECT_TRUE(list->Json);
    EXPECT_EQ(list->TimeoutSeconds, 30u);
    auto forget = ParseArguments({L"forget", L"Velmora Tracker", L"--timeout", L"45"}, error);
    ASSERT_TRUE(forget);
    EXPECT_EQ(forget->Command, TCommand::Forget);
    EXPECT_EQ(forget->Name, L"Velmora Tracker");
    EXPECT_EQ(forget->TimeoutSeconds, 45u);

    const std::pair<std::vector<std::wstring>, std::wstring> wrong[] = {
        {{L"frobnicate"}, L"Unknown command \"frobnicate\"."},
        {{L"list", L"--updates", L"--unused"}, L"Give at most one of --updates and --unused."},
        {{L"repair", L"App", L"--json"}, L"Unknown option \"--json\" for \"repair\"."},
        {{L"uninstall"}, L"Give the name of the program or update to uninstall."},
        {{L"show", L"--json"}, L""},
        {{L"list", L"--timeout", L"12x"}, L""},
    };
    for (const auto& [args, expected] : wrong) {
        error.clear();
        EXPECT_FALSE(ParseArguments(args, error)) << args.back();
        EXPECT_FALSE(error.empty()) << args.back();
        if (!expected.empty()) {
            EXPECT_EQ(error, expected);
        }
    }
}
