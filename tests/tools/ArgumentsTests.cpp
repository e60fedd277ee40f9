#include "tools/velmora/Arguments.h"

#include <gtest/gtest.h>

using namespace velmora::cli;

namespace {
std::optional<TArguments> Parse(std::vector<std::wstring> args, std::wstring* error = nullptr) {
    std::wstring text;
    auto parsed = ParseArguments(args, text);
    if (error)
        *error = text;
    return parsed;
}
} // namespace

TEST(Arguments, NoArgumentsOrHelpShowUsage) {
    EXPECT_EQ(Parse({})->Command, TCommand::Help);
    EXPECT_EQ(Parse({L"--help"})->Command, TCommand::Help);
    EXPECT_EQ(Parse({L"help"})->Command, TCommand::Help);
}

TEST(Arguments, ListKindsJsonAndTimeout) {
    auto list = Parse({L"list"});
    ASSERT_TRUE(list);
    EXPECT_EQ(list->Command, TCommand::List);
    EXPECT_EQ(list->Kind, TListKind::Programs);
    EXPECT_FALSE(list->Json);
    auto updates = Parse({L"list", L"--json", L"--updates", L"--timeout", L"30"});
    ASSERT_TRUE(updates);
    EXPECT_EQ(updates->Kind, TListKind::Updates);
    EXPECT_TRUE(updates->Json);
    EXPECT_EQ(updates->TimeoutSeconds, 30u);
    EXPECT_EQ(Parse({L"list", L"--unused"})->Kind, TListKind::Unused);
}

TEST(Arguments, UsageErrorsSaySentencesAPersonUnderstands) {
    std::wstring error;
    EXPECT_FALSE(Parse({L"frobnicate"}, &error));
    EXPECT_EQ(error, L"Unknown command \"frobnicate\".");
    EXPECT_FALSE(Parse({L"list", L"--updates", L"--unused"}, &error));
    EXPECT_EQ(error, L"Give at most one of --updates and --unused.");
    EXPECT_FALSE(Parse({L"list", L"--timeout"}, &error));
    EXPECT_FALSE(Parse({L"list", L"--timeout", L"0"}, &error));
    EXPECT_FALSE(Parse({L"list", L"--timeout", L"12x"}, &error));
    EXPECT_FALSE(Parse({L"version", L"--json"}, &error));
    EXPECT_EQ(error, L"Unknown option \"--json\" for \"version\".");
}

TEST(Arguments, ShowTakesANameThenOptions) {
    auto show = Parse({L"show", L"Velmora Tracker", L"--json"});
    ASSERT_TRUE(show);
    EXPECT_EQ(show->Command, TCommand::Show);
    EXPECT_EQ(show->Name, L"Velmora Tracker");
    EXPECT_TRUE(show->Json);
    std::wstring error;
    EXPECT_FALSE(Parse({L"show"}, &error));
    EXPECT_EQ(error, L"Give the name of the program or update to show.");
    EXPECT_FALSE(Parse({L"show", L"--json"}, &error));
    EXPECT_FALSE(Parse({L"show", L"App", L"--updates"}, &error));
}

TEST(Arguments, ActionCommandsTakeANameAndATimeout) {
    const std::pair<const wchar_t*, TCommand> commands[] = {{L"uninstall", TCommand::Uninstall},
                                                            {L"quiet-uninstall", TCommand::QuietUninstall},
                                                            {L"modify", TCommand::Modify},
                                                            {L"repair", TCommand::Repair},
                                                            {L"forget", TCommand::Forget}};
    for (auto [word, command] : commands) {
        auto parsed = Parse({word, L"Velmora Tracker", L"--timeout", L"45"});
        ASSERT_TRUE(parsed) << word;
        EXPECT_EQ(parsed->Command, command);
        EXPECT_TRUE(IsActionCommand(parsed->Command));
        EXPECT_EQ(parsed->Name, L"Velmora Tracker");
        EXPECT_EQ(parsed->TimeoutSeconds, 45u);
    }
    EXPECT_FALSE(IsActionCommand(TCommand::Show));
    std::wstring error;
    EXPECT_FALSE(Parse({L"uninstall"}, &error));
    EXPECT_EQ(error, L"Give the name of the program or update to uninstall.");
    EXPECT_FALSE(Parse({L"forget", L"--timeout", L"5"}, &error));
    EXPECT_FALSE(Parse({L"repair", L"App", L"--json"}, &error));
    EXPECT_EQ(error, L"Unknown option \"--json\" for \"repair\".");
}
