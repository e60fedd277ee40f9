#include "platform/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace velmora;

// These run natively (the portable table) and under Wine (the system's
// comparison): both must give the same answers.

TEST(TextCase, AsciiLettersFoldAndNothingElseDoes) {
    EXPECT_TRUE(SameText(L"C:\\Program Files\\App", L"c:\\PROGRAM FILES\\app"));
    EXPECT_EQ(UpperCase(L"abc xyz 09_@[`{~"), L"ABC XYZ 09_@[`{~");
    EXPECT_EQ(LowerCase(L"ABC XYZ 09_@[`{~"), L"abc xyz 09_@[`{~");
    EXPECT_FALSE(SameText(L"@", L"`")) << "0x20 apart, but no letters";
    EXPECT_FALSE(SameText(L"[", L"{"));
    EXPECT_FALSE(SameText(L"abc", L"abcd"));
}

TEST(TextCase, LatinOneFoldsItsLetterPairsOnly) {
    EXPECT_TRUE(SameText(L"Caf\u00E9 D\u00E9j\u00E0 \u00F8", L"CAF\u00C9 D\u00C9J\u00C0 \u00D8"));
    EXPECT_EQ(UpperCase(L"\u00E0\u00E9\u00EE\u00F5\u00FC\u00FE"), L"\u00C0\u00C9\u00CE\u00D5\u00DC\u00DE");
    EXPECT_EQ(LowerCase(L"\u00C0\u00C9\u00CE\u00D5\u00DC\u00DE"), L"\u00E0\u00E9\u00EE\u00F5\u00FC\u00FE");

    // y with diaeresis has its capital outside Latin-1.
    EXPECT_EQ(UpperCase(L"\u00FF"), L"\u0178");
    EXPECT_EQ(LowerCase(L"\u0178"), L"\u00FF");
    EXPECT_TRUE(SameText(L"\u00FF", L"\u0178"));

    // Sharp s has no one-character capital; the capital sharp s lower-cases to
    // it but is not its upper case, so the two stay apart.
    EXPECT_EQ(UpperCase(L"stra\u00DFe"), L"STRA\u00DFE");
    EXPECT_FALSE(SameText(L"stra\u00DFe", L"STRASSE"));
    EXPECT_FALSE(SameText(L"\u00DF", L"\u1E9E"));
    EXPECT_EQ(LowerCase(L"\u1E9E"), L"\u1E9E");

    // The micro sign is not Greek mu; multiplication and division signs are
    // 0x20 apart like a letter pair.
    EXPECT_EQ(UpperCase(L"\u00B5"), L"\u00B5");
    EXPECT_FALSE(SameText(L"\u00B5", L"\u039C"));
    EXPECT_FALSE(SameText(L"\u00D7", L"\u00F7"));
}

TEST(TextCase, LettersWithASecondLowerCaseFormDoNotFoldIntoAscii) {
    EXPECT_FALSE(SameText(L"\u0131", L"I")) << "dotless i";
    EXPECT_FALSE(SameText(L"\u017F", L"S")) << "long s";
    EXPECT_FALSE(SameText(L"\u212A", L"k")) << "Kelvin sign";
    EXPECT_EQ(LowerCase(L"\u0130\u212A"), L"\u0130\u212A");
    EXPECT_EQ(UpperCase(L"\u0131\u017F"), L"\u0131\u017F");
}

TEST(TextCase, GreekFoldsExceptFinalSigma) {
    EXPECT_TRUE(SameText(L"\u03C3\u03BF\u03C6\u03AF\u03B1", L"\u03A3\u039F\u03A6\u038A\u0391"));
    EXPECT_FALSE(SameText(L"\u03C2", L"\u03A3"));
    EXPECT_FALSE(SameText(L"\u03C2", L"\u03C3"));
    EXPECT_EQ(UpperCase(L"\u03BB\u03CC\u03B3\u03BF\u03C2"), L"\u039B\u038C\u0393\u039F\u03C2");
    EXPECT_EQ(LowerCase(L"\u039B\u039F\u0393\u039F\u03A3"), L"\u03BB\u03BF\u03B3\u03BF\u03C3")
        << "no final form when lower-casing either";
}

TEST(TextCase, CyrillicFoldsIncludingItsIrregularPairs) {
    EXPECT_TRUE(SameText(L"\u041F\u0440\u0438\u0432\u0435\u0442, \u0401\u0436\u0438\u043A",
                         L"\u043F\u0420\u0418\u0412\u0415\u0422, \u0451\u0416\u0418\u041A"));
    // Ukrainian ghe with upturn, yi, and the palochka, 15 apart from its small form.
    EXPECT_EQ(UpperCase(L"\u0491\u0457\u04CF"), L"\u0490\u0407\u04C0");
    EXPECT_EQ(LowerCase(L"\u0490\u0407\u04C0"), L"\u0491\u0457\u04CF");
    EXPECT_FALSE(SameText(L"\u1C80", L"\u0412")) << "rounded ve is a second form of ve";
}

TEST(TextCase, OtherLetterPairsOfThePlaneFoldToo) {
    EXPECT_TRUE(SameText(L"\uFF41\uFF42\uFF43", L"\uFF21\uFF22\uFF23")) << "full-width Latin";
    EXPECT_EQ(UpperCase(L"\u0561\u2170\u24D0"), L"\u0531\u2160\u24B6") << "Armenian, Roman numeral, circled";
    EXPECT_EQ(LowerCase(L"\u0531\u2160\u24B6"), L"\u0561\u2170\u24D0");
    EXPECT_EQ(UpperCase(L"\u6F22\u5B57 \u05D0"), L"\u6F22\u5B57 \u05D0") << "no case";
    // A supplementary character (a surrogate pair on Windows) compares as it is.
    EXPECT_FALSE(SameText(L"\U00010428", L"\U00010400"));
    EXPECT_EQ(UpperCase(L"\U00010428"), L"\U00010428");
}

TEST(TextCase, CompareTextOrdersByUpperCaseCodeUnits) {
    EXPECT_EQ(CompareText(L"ABC", L"abc"), 0);
    EXPECT_EQ(CompareText(L"", L""), 0);
    EXPECT_LT(CompareText(L"apple", L"Banana"), 0);
    EXPECT_GT(CompareText(L"B", L"a"), 0);
    EXPECT_LT(CompareText(L"", L"a"), 0);
    EXPECT_LT(CompareText(L"abc", L"ABCD"), 0) << "a prefix comes first";
    EXPECT_GT(CompareText(L"abcd", L"ABC"), 0);
    // Folding to upper case puts '_' (0x5F) after every letter, lower-case
    // folding would put it before.
    EXPECT_GT(CompareText(L"a_", L"AB"), 0);
    EXPECT_GT(CompareText(L"\u00E9", L"z"), 0);
    EXPECT_LT(CompareText(L"\u00FF", L"\u017D"), 0) << "U+0178 before U+017D";

    std::vector<std::wstring> names = {L"beta", L"_x", L"Alpha", L"alpha2", L"\u00C9t\u00E9", L"ALPHA"};
    std::stable_sort(names.begin(), names.end(),
                     [](const std::wstring& a, const std::wstring& b) { return CompareText(a, b) < 0; });
    EXPECT_EQ(names,
              (std::vector<std::wstring>{L"Alpha", L"ALPHA", L"alpha2", L"beta", L"_x", L"\u00C9t\u00E9"}));
}

TEST(TextCase, PrefixSuffixAndPartFollowTheSameRule) {
    EXPECT_TRUE(
        StartsWithText(L"C:\\Program Files\\\u00C9diteur\\app.exe", L"c:\\program files\\\u00E9diteur\\"));
    EXPECT_FALSE(StartsWithText(L"C:\\Prog", L"c:\\program"));
    EXPECT_TRUE(EndsWithText(L"Setup.EXE", L".exe"));
    EXPECT_FALSE(EndsWithText(L"exe", L".exe"));
    EXPECT_TRUE(
        ContainsText(L"\u041F\u0440\u0438\u0432\u0435\u0442 \u041C\u0438\u0440", L"\u043C\u0418\u0420"));
    EXPECT_FALSE(ContainsText(L"\u03A3\u039F\u03A6\u039F\u03A3", L"\u03BF\u03C2"));
    EXPECT_TRUE(ContainsText(L"abc", L""));
    EXPECT_FALSE(ContainsText(L"ab", L"abc"));
}

// Case pairs map both ways, so comparing upper-cased, lower-cased or with
// SameText gives one answer.
TEST(TextCase, UpperAndLowerCaseArePairsOfThePlane) {
    size_t pairs = 0;
    for (unsigned code = 0; code <= 0xFFFF; ++code) {
        const std::wstring one(1, static_cast<wchar_t>(code));
        const std::wstring upper = UpperCase(one), lower = LowerCase(one);
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << code);
        ASSERT_TRUE(upper == one || lower == one);
        if (upper != one) {
            ++pairs;
            ASSERT_EQ(LowerCase(upper), one);
        }
        if (lower != one) {
            ASSERT_EQ(UpperCase(lower), one);
        }
    }
    EXPECT_GT(pairs, 1000u);
}
