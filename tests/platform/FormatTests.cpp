
#include "tests/TestBase.h"

using namespace velmora;

TEST(Utf8, ConvertsEveryPlaneBothWays) {
    // One, two, three and four bytes; the last is a surrogate pair in UTF-16.
    const std::string utf8 = "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
    const std::wstring wide = Widen(utf8);
    if constexpr (sizeof(wchar_t) == 2)
        EXPECT_EQ(wide, std::wstring(L"A\u00e9\u20ac") + wchar_t(0xD83D) + wchar_t(0xDE00));
    else
        EXPECT_EQ(wide, std::wstring(L"A\u00e9\u20ac") + wchar_t(0x1F600));
    EXPECT_EQ(Narrow(wide), utf8);
    EXPECT_EQ(Narrow(Widen("\xef\xbf\xbf")), "\xef\xbf\xbf"); // U+FFFF, the last of the plane
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    const std::wstring replacement(1, wchar_t(0xFFFD));
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"lone continuation byte", "\x80"},    {"cut sequence", "\xe2\x82"},
        {"overlong slash", "\xc0\xaf"},        {"overlong three bytes", "\xe0\x80\xaf"},
        {"encoded surrogate", "\xed\xa0\x80"}, {"beyond U+10FFFF", "\xf4\x90\x80\x80"},
        {"invalid lead byte", "\xff"},
    };
    for (const auto& c : cases) {
        std::wstring wide = Widen("a" + c.Bytes + "b");
        ASSERT_GE(wide.size(), 3u) << c.Name;
        EXPECT_EQ(wide.front(), L'a') << c.Name;
        EXPECT_EQ(wide.back(), L'b') << c.Name;
        EXPECT_EQ(wide.substr(1, wide.size() - 2).find_first_not_of(replacement), std::wstring::npos)
            << c.Name;
    }
    // A lone surrogate in UTF-16 has no UTF-8 form.
    EXPECT_EQ(Narrow(std::wstring(1, wchar_t(0xD800)) + L"x"), "\xef\xbf\xbdx");
}
