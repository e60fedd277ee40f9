#include "features/ProcessOutput.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

std::vector<std::wstring> Lines(std::initializer_list<const wchar_t*> lines) {
    return {lines.begin(), lines.end()};
}

TProcessOutput OutputOf(std::initializer_list<std::wstring_view> pieces) {
    TProcessOutput output;
    for (auto piece : pieces)
        output.Append(piece);
    return output;
}

} // namespace

TEST(ProcessOutput, PiecesJoinIntoLinesWhateverTheirBoundaries) {
    EXPECT_EQ(OutputOf({L"Deployment ", L"Image", L" Servicing\r\nVersion: 6.1\r\n"}).Lines(),
              Lines({L"Deployment Image Servicing", L"Version: 6.1"}));
    // CR and LF of one line break in two pieces make one break, not an empty line.
    EXPECT_EQ(OutputOf({L"one\r", L"\ntwo"}).Lines(), Lines({L"one", L"two"}));
    // A CR alone, an LF alone and empty lines all count.
    EXPECT_EQ(OutputOf({L"a\rb\n\n", L"\r\nc"}).Lines(), Lines({L"a", L"b", L"", L"", L"c"}));
    EXPECT_EQ(OutputOf({L"\n", L"x"}).Lines(), Lines({L"", L"x"}));
    EXPECT_EQ(OutputOf({L"a\r", L"\r", L"\n"}).Lines(), Lines({L"a", L""}));
    EXPECT_TRUE(OutputOf({L"", L""}).Empty());
}

TEST(ProcessOutput, TextEndsEveryLineAndClearStartsOver) {
    auto output = OutputOf({L"x\ny"});
    EXPECT_EQ(output.Text(), L"x\r\ny\r\n");
    output.Clear();
    EXPECT_TRUE(output.Empty());
    // Nothing of the old state (an open line, a pending CR) survives Clear.
    output.Append(L"a\r");
    output.Clear();
    output.Append(L"\nb");
    EXPECT_EQ(output.Lines(), Lines({L"", L"b"}));
}

TEST(ProcessOutput, PromptNeedsParenthesisSlashAndCloseFarEnoughApart) {
    EXPECT_TRUE(IsPromptLine(L"Restart Windows to complete this operation. (Y/N)"));
    EXPECT_TRUE(IsPromptLine(L"x(a/b)"));
    EXPECT_TRUE(IsPromptLine(L"Go (yes/no) now"));
    EXPECT_FALSE(IsPromptLine(L"(Y/N)"));   // "(" is the first character
    EXPECT_FALSE(IsPromptLine(L"Go (/N)")); // nothing between "(" and "/"
    EXPECT_FALSE(IsPromptLine(L"Go (Y/)")); // nothing between "/" and ")"
    EXPECT_FALSE(IsPromptLine(L"Go (Y/N"));
    EXPECT_FALSE(IsPromptLine(L"Go Y/N)"));
    EXPECT_FALSE(IsPromptLine(L""));
    // The first "/" and ")" of the line count, even before the "(".
    EXPECT_FALSE(IsPromptLine(L"C:/dir (Y/N)"));
    EXPECT_FALSE(IsPromptLine(L"step 1) go (Y/N)"));
}

TEST(ProcessOutput, QuestionCollectsUnscannedLinesAndThePromptText) {
    auto lines =
        Lines({L"Feature enabled.", L"The operation completed.", L"  Restart now ? (Y/N)", L"after"});
    size_t index = 0;
    std::vector<std::wstring> seen;
    auto question = FindPrompt(lines, index, [&](const std::wstring& line) { seen.push_back(line); });
    ASSERT_TRUE(question);
    EXPECT_EQ(*question, L"Feature enabled.\r\nThe operation completed.\r\nRestart now ?");
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(seen, Lines({L"Feature enabled.", L"The operation completed.", L"  Restart now ? (Y/N)"}));

    // The next search starts after the prompt; "?" is added when missing.
    lines.push_back(L"Continue (Y/N)");
    lines.push_back(L"");
    question = FindPrompt(lines, index);
    ASSERT_TRUE(question);
    EXPECT_EQ(*question, L"after\r\nContinue?");
    EXPECT_EQ(index, 5u);
}

TEST(ProcessOutput, LastLineIsLookedAtAgainUntilItIsAPrompt) {
    TProcessOutput output;
    size_t index = 0;
    output.Append(L"Removing...\r\nContinue (Y/");
    EXPECT_FALSE(FindPrompt(output.Lines(), index));
    EXPECT_EQ(index, 1u); // stopped on the growing last line, not past it
    output.Append(L"N)");
    auto question = FindPrompt(output.Lines(), index);
    ASSERT_TRUE(question);
    EXPECT_EQ(*question, L"Continue?");
    EXPECT_EQ(index, 2u);
    // Past the end nothing is scanned and the index stays.
    int calls = 0;
    EXPECT_FALSE(FindPrompt(output.Lines(), index, [&](const std::wstring&) { ++calls; }));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(index, 2u);
}

TEST(ProcessOutput, PromptWithNothingBeforeTheParenthesisAsksJustTheMark) {
    auto lines = Lines({L" (Y/N)"});
    size_t index = 0;
    EXPECT_EQ(FindPrompt(lines, index), L"?");
}

TEST(ProcessOutput, ErrorLineGivesItsCodeAndTheRestOfTheOutput) {
    auto result = ResultFromOutput(Lines({L"Deployment Image Servicing and Management tool", L"",
                                          L"Error: 87", L"", L"The option is unknown."}));
    EXPECT_EQ(result.Result, 87);
    EXPECT_EQ(result.Errors, L"Error: 87\r\n\r\nThe option is unknown.");

    // Only the first error line counts.
    result = ResultFromOutput(Lines({L"Error: 5", L"Error: 6"}));
    EXPECT_EQ(result.Result, 5);
    EXPECT_EQ(result.Errors, L"Error: 5\r\nError: 6");

    // Blanks inside or around the number are dropped, a sign is read.
    EXPECT_EQ(ResultFromOutput(Lines({L"Error:  1 4 "})).Result, 14);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: -2"})).Result, -2);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: 183"})).Result, 183);
}

TEST(ProcessOutput, ErrorLineWithoutADecimalNumberGivesMinusOne) {
    auto result = ResultFromOutput(Lines({L"Error: 0x80070005", L"Access is denied."}));
    EXPECT_EQ(result.Result, -1);
    EXPECT_EQ(result.Errors, L"Error: 0x80070005\r\nAccess is denied.");
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: "})).Result, -1);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: 12abc"})).Result, -1);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: -"})).Result, -1);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: 2147483647"})).Result, 2147483647);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: 2147483648"})).Result, -1);
    EXPECT_EQ(ResultFromOutput(Lines({L"Error: 99999999999999999999"})).Result, -1);
}

TEST(ProcessOutput, HexCodeAfterAColonGivesMinusOne) {
    auto result = ResultFromOutput(Lines({L"Starting", L"Failed: 0x800f081f", L"tail"}));
    EXPECT_EQ(result.Result, -1);
    EXPECT_EQ(result.Errors, L"Failed: 0x800f081f\r\ntail");
    // At the very start of the line it does not count.
    EXPECT_EQ(ResultFromOutput(Lines({L": 0x5"})).Result, 0);
}

TEST(ProcessOutput, NoErrorLineGivesZeroAndNoText) {
    for (auto lines : {Lines({}), Lines({L"", L"The operation completed successfully."}),
                       Lines({L"error: 5", L" Error: 5", L"Error:5", L"Result 0x5"})}) {
        auto result = ResultFromOutput(lines);
        EXPECT_EQ(result.Result, 0);
        EXPECT_TRUE(result.Errors.empty());
    }
}
