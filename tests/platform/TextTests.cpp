#include "platform/Text.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(Text, CompareIgnoringCaseByOrdinalFolding) {
    EXPECT_TRUE(SameText(L"\u00E4\u00F6\u00FC\u0436", L"\u00C4\u00D6\u00DC\u0416"));
    EXPECT_FALSE(SameText(L"abc", L"abcd"));
    EXPECT_LT(CompareText(L"abc", L"ABD"), 0);
    EXPECT_GT(CompareText(L"b", L"A"), 0);
    EXPECT_EQ(UpperCase(L"c:\\program files\\\u00FF"), L"C:\\PROGRAM FILES\\\u0178");
    EXPECT_TRUE(StartsWithText(L"C:\\Program Files\\App", L"c:\\program files"));
    EXPECT_FALSE(StartsWithText(L"C:\\", L"C:\\Program"));
    EXPECT_TRUE(EndsWithText(L"Au_.EXE", L"u_.exe"));
    EXPECT_TRUE(ContainsText(L"C:\\APPS\\Host\\host.exe", L"\\apps\\host"));
    EXPECT_FALSE(ContainsText(L"ab", L"abc"));
}

TEST(Text, TrimAndSplitLinesOnEveryLineBreakKind) {
    EXPECT_EQ(Trim(L" \t value \r\n"), L"value");
    EXPECT_EQ(SplitLines(L"one\r\ntwo\nthree\rfour"),
              (std::vector<std::wstring>{L"one", L"two", L"three", L"four"}));
    EXPECT_EQ(SplitLines(L"a\n\nb\n").size(), 3u);
    EXPECT_TRUE(SplitLines(L"").empty());
}
