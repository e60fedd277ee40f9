#include "platform/Format.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(Format, SubstitutesInOrderAndToleratesArgumentMismatch) {
    EXPECT_EQ(Format(L"Delete Program: %s (%s)", L"7-Zip", std::wstring(L"{GUID}")),
              L"Delete Program: 7-Zip ({GUID})");
    EXPECT_EQ(Format(L"%s: %d.%d", "shell32.dll", 6, -1), L"shell32.dll: 6.-1");
    EXPECT_EQ(Format(L"IsWow64Process: %s", true), L"IsWow64Process: True");
    EXPECT_EQ(Format(L"100%% done, %x and %"), L"100% done, %x and %");
    EXPECT_EQ(Format(L"a%sb%sc", L"1"), L"a1bc");
    EXPECT_EQ(Format(L"only", L"extra"), L"only");
}

TEST(Format, Utf8RoundTripIncludingSurrogatesAndBadBytes) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x98\x80";
    EXPECT_EQ(Narrow(Widen(utf8)), utf8);
    EXPECT_EQ(Widen("bad\xFF"), L"bad\uFFFD");
    EXPECT_EQ(Widen("cut\xE2\x82"), L"cut\uFFFD");
}
