
#include "tests/TestBase.h"

using namespace velmora;

// These run natively (the portable table) and under Wine (the system's
// comparison): both must give the same answers.

// Case pairs by script, {upper case, lower case}: each converts into the
// other and they compare the same. Under Wine the system comparison checks
// every character of the plane; these rows keep the native build honest.
TEST(TextCase, LetterPairsOfEachScriptFoldAndOthersStayApart) {
    // Latin-1's y with diaeresis has its capital outside Latin-1; sharp s has
    // no one-character capital, and the capital sharp s is not its upper case;
    // the micro sign is not Greek mu; letters with a second lower-case form do
    // not fold into ASCII. Greek has no final sigma in either direction;
    // Cyrillic's palochka is 15 apart from its small form. Full-width Latin,
    // Armenian, Roman numerals and circled letters fold; a supplementary
    // character compares as it is.
    const std::pair<std::wstring_view, std::wstring_view> pairs[] = {
        {L"C:\\PROGRAM FILES\\ABC XYZ 09_@[`{~", L"c:\\program files\\abc xyz 09_@[`{~"},
        {L"CAF\u00C9 \u00C0\u00C9\u00CE\u00D5\u00DC\u00DE\u00D8 \u0178 STRA\u00DFE \u1E9E\u00B5 "
         L"\u0130\u212A\u0131\u017F",
         L"caf\u00E9 \u00E0\u00E9\u00EE\u00F5\u00FC\u00FE\u00F8 \u00FF stra\u00DFe \u1E9E\u00B5 "
         L"\u0130\u212A\u0131\u017F"},
        {L"\u03A3\u039F\u03A6\u038A\u0391 \u039B\u038C\u0393\u039F\u03C2 \u039B\u039F\u0393\u039F\u03A3",
         L"\u03C3\u03BF\u03C6\u03AF\u03B1 \u03BB\u03CC\u03B3\u03BF\u03C2 \u03BB\u03BF\u03B3\u03BF\u03C3"},
        {L"\u041F\u0420\u0418\u0412\u0415\u0422, \u0401\u0416\u0418\u041A \u0490\u0407\u04C0",
         L"\u043F\u0440\u0438\u0432\u0435\u0442, \u0451\u0436\u0438\u043A \u0491\u0457\u04CF"},
        {L"\uFF21\uFF22\uFF23 \u0531\u2160\u24B6 \u6F22\u5B57 \u05D0 \U00010428",
         L"\uFF41\uFF42\uFF43 \u0561\u2170\u24D0 \u6F22\u5B57 \u05D0 \U00010428"},
    };
    for (const auto& [upper, lower] : pairs) {
        SCOPED_TRACE(Narrow(std::wstring(lower)));
        EXPECT_EQ(UpperCase(lower), upper);
        EXPECT_EQ(LowerCase(upper), lower);
        EXPECT_TRUE(SameText(upper, lower));
    }
    // ASCII signs 0x20 apart, and the second forms of letters (rounded ve is one of ve).
    const std::pair<std::wstring_view, std::wstring_view> apart[] = {
        {L"@", L"`"},           {L"[", L"{"},
        {L"abc", L"abcd"},      {L"stra\u00DFe", L"STRASSE"},
        {L"\u00DF", L"\u1E9E"}, {L"\u00B5", L"\u039C"},
        {L"\u00D7", L"\u00F7"}, {L"\u0131", L"I"},
        {L"\u017F", L"S"},      {L"\u212A", L"k"},
        {L"\u03C2", L"\u03A3"}, {L"\u03C2", L"\u03C3"},
        {L"\u1C80", L"\u0412"}, {L"\U00010428", L"\U00010400"},
    };
    for (const auto& [a, b] : apart)
        EXPECT_FALSE(SameText(a, b)) << Narrow(std::wstring(a)) << " " << Narrow(std::wstring(b));
}

// Folding to upper case puts '_' (0x5F) after every letter, lower-case
// folding would put it before; a prefix comes first.
TEST(TextCase, CompareTextOrdersByUpperCaseCodeUnits) {
    const std::tuple<std::wstring_view, std::wstring_view, int> cases[] = {
        {L"ABC", L"abc", 0},       {L"", L"", 0},
        {L"apple", L"Banana", -1}, {L"B", L"a", 1},
        {L"", L"a", -1},           {L"abc", L"ABCD", -1},
        {L"abcd", L"ABC", 1},      {L"a_", L"AB", 1},
        {L"\u00E9", L"z", 1},      {L"\u00FF", L"\u017D", -1}, // U+0178 before U+017D
    };
    for (const auto& [a, b, sign] : cases)
        EXPECT_EQ((CompareText(a, b) > 0) - (CompareText(a, b) < 0), sign)
            << Narrow(std::wstring(a)) << " " << Narrow(std::wstring(b));
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
        SCOPED_TRACE(::testing::Message() << "U+" << std::hex << code);
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
