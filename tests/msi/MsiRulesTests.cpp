#include "msi/MsiRules.h"

#include <gtest/gtest.h>

#include <climits>

using namespace velmora;

TEST(MsiRules, LongNameIsThePartAfterTheFirstBar) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"ENGINE~1.TXT|Engine notes.txt", L"Engine notes.txt"},
        {L"plain.txt", L"plain.txt"},
        {L"A|B|C", L"B|C"},
        {L"short|", L""},
    };
    for (auto [name, expected] : cases)
        EXPECT_EQ(MsiLongName(name), expected) << name;
}

TEST(MsiRules, UpgradeCodeIsPackedInTheInstallersOrderOnlyWhenBraced) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}", L"87654321CBA90FED21436587A9CBED0F"},
        {L"{0129291e-3e57-4f54-9f4a-e3a7dc6b3c22}", L"e192921075e345f4f9a43e7acdb6c322"},
        {L"0129291E-3E57-4F54-9F4A-E3A7DC6B3C22", L"0129291E-3E57-4F54-9F4A-E3A7DC6B3C22"},
        {L"{0129291E-3E57-4F54-9F4A-E3A7DC6B3C22}x", L"{0129291E-3E57-4F54-9F4A-E3A7DC6B3C22}x"},
    };
    for (auto [code, expected] : cases)
        EXPECT_EQ(PackedUpgradeCode(code), expected) << code;
}

TEST(MsiRules, RegistryRowsMapRootsAndNames) {
    EXPECT_EQ(MsiRegistryRootName(MsiRegistryRoot(3)), L"HKEY_USERS");
    for (int32_t other : {-1, 4, INT_MIN /* a null column */})
        EXPECT_EQ(MsiRegistryRoot(other), TMsiRegistryRoot::LocalMachine) << other;

    // Whole-key marks give an empty recursive name; key creation and default
    // value rows are skipped; anything else is a value name.
    for (auto mark : {L"*", L"-"}) {
        auto name = MsiRegistryName(mark);
        ASSERT_TRUE(name) << mark;
        EXPECT_EQ(name->ValueName, L"");
        EXPECT_TRUE(name->Recursive);
    }
    EXPECT_FALSE(MsiRegistryName(L"+"));
    EXPECT_FALSE(MsiRegistryName(L""));
    for (auto text : {L"InstallDir", L"**", L"-x"}) {
        auto name = MsiRegistryName(text);
        ASSERT_TRUE(name) << text;
        EXPECT_EQ(name->ValueName, text);
        EXPECT_FALSE(name->Recursive);
    }
}
