#include "console/ProcessOutput.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

using TLines = std::vector<std::wstring>;

TProcessOutput OutputOf(const std::vector<std::wstring_view>& pieces) {
    TProcessOutput output;
    for (auto piece : pieces)
        output.Append(piece);
    return output;
}

} // namespace

TEST(ProcessOutput, PiecesJoinIntoLinesWhateverTheirBoundaries) {
    struct {
        std::vector<std::wstring_view> Pieces;
        TLines Lines;
    } cases[] = {
        {{L"Deployment ", L"Image", L" Servicing\r\nVersion: 6.1\r\n"},
         {L"Deployment Image Servicing", L"Version: 6.1"}},
        {{L"one\r", L"\ntwo"}, {L"one", L"two"}}, // one break split over two pieces
        {{L"a\rb\n\n", L"\r\nc"}, {L"a", L"b", L"", L"", L"c"}},
    };
    for (auto& c : cases)
        EXPECT_EQ(OutputOf(c.Pieces).Lines(), c.Lines) << "case " << &c - cases;

    EXPECT_EQ(OutputOf({L"x\ny"}).Text(), L"x\r\ny\r\n");
}

TEST(ProcessOutput, PromptNeedsParenthesisSlashAndCloseFarEnoughApart) {
    for (const wchar_t* line : {L"Restart Windows to complete this operation. (Y/N)", L"Go (yes/no) now"})
        EXPECT_TRUE(IsPromptLine(line)) << line;
    // "(" first, nothing between the marks, a mark missing, a "/" before the "(".
    for (const wchar_t* line : {L"(Y/N)", L"Go (/N)", L"Go (Y/N", L"C:/dir (Y/N)"})
        EXPECT_FALSE(IsPromptLine(line)) << line;
}

TEST(ProcessOutput, QuestionCollectsUnscannedLinesAndWaitsForAGrowingLastLine) {
    TLines lines{L"Feature enabled.", L"The operation completed.", L"  Restart now ? (Y/N)", L"after"};
    size_t index = 0;
    EXPECT_EQ(FindPrompt(lines, index), L"Feature enabled.\r\nThe operation completed.\r\nRestart now ?");
    EXPECT_EQ(index, 3u);

    // The next search starts after the prompt; "?" is added when missing.
    lines.push_back(L"Continue (Y/N)");
    EXPECT_EQ(FindPrompt(lines, index), L"after\r\nContinue?");
    EXPECT_EQ(index, 5u);

    // The last line is looked at again until it is a prompt.
    TProcessOutput output;
    index = 0;
    output.Append(L"Removing...\r\nContinue (Y/");
    EXPECT_FALSE(FindPrompt(output.Lines(), index));
    EXPECT_EQ(index, 1u); // stopped on the growing last line, not past it
    output.Append(L"N)");
    EXPECT_EQ(FindPrompt(output.Lines(), index), L"Continue?");
    EXPECT_EQ(index, 2u);
}

TEST(ProcessOutput, ResultAndErrorTextComeFromTheFirstErrorLine) {
    struct {
        TLines Lines;
        int32_t Result;
        std::wstring Errors;
    } cases[] = {
        {{L"Servicing tool", L"", L"Error: 87", L"", L"The option is unknown."},
         87,
         L"Error: 87\r\n\r\nThe option is unknown."},
        {{L"Error: 5", L"Error: 6"}, 5, L"Error: 5\r\nError: 6"},
        {{L"Error: 0x80070005", L"Access is denied."}, -1, L"Error: 0x80070005\r\nAccess is denied."},
        {{L"Starting", L"Failed: 0x800f081f", L"tail"}, -1, L"Failed: 0x800f081f\r\ntail"},
        {{}, 0, L""},
    };
    for (auto& c : cases) {
        auto result = ResultFromOutput(c.Lines);
        EXPECT_EQ(result.Result, c.Result) << "case " << &c - cases;
        EXPECT_EQ(result.Errors, c.Errors) << "case " << &c - cases;
    }
    // Blanks in the number are dropped; anything but a decimal number that fits gives -1.
    EXPECT_EQ(ResultFromOutput({L"Error:  1 4 "}).Result, 14);
    for (auto line : {L"Error: 12abc", L"Error: 2147483648"})
        EXPECT_EQ(ResultFromOutput({line}).Result, -1) << line;
    // A hex code at the start of the line, another case, no blank: no error.
    for (auto line : {L": 0x5", L"error: 5", L"Error:5", L"Done."}) {
        EXPECT_EQ(ResultFromOutput({line}).Result, 0) << line;
        EXPECT_EQ(ResultFromOutput({line}).Errors, L"") << line;
    }
}
