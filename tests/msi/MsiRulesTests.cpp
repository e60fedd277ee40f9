#include "msi/MsiRules.h"

#include <gtest/gtest.h>

#include <climits>

using namespace velmora;

TEST(MsiRules, LongNameIsThePartAfterTheFirstBar) {
    EXPECT_EQ(MsiLongName(L"ENGINE~1.TXT|Engine notes.txt"), L"Engine notes.txt");
    EXPECT_EQ(MsiLongName(L"plain.txt"), L"plain.txt");
    EXPECT_EQ(MsiLongName(L"A|B|C"), L"B|C");
    EXPECT_EQ(MsiLongName(L"|long"), L"long");
    EXPECT_EQ(MsiLongName(L"short|"), L"");
    EXPECT_EQ(MsiLongName(L""), L"");
}

TEST(MsiRules, UpgradeCodeIsPackedInTheInstallersOrder) {
    // Groups of 8, 4 and 4 digits reversed, then each byte's two digits swapped.
    EXPECT_EQ(PackedUpgradeCode(L"{0129291E-3E57-4F54-9F4A-E3A7DC6B3C22}"),
              L"E192921075E345F4F9A43E7ACDB6C322");
    EXPECT_EQ(PackedUpgradeCode(L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}"),
              L"87654321CBA90FED21436587A9CBED0F");
    // Letter case is kept as given.
    EXPECT_EQ(PackedUpgradeCode(L"{0129291e-3e57-4f54-9f4a-e3a7dc6b3c22}"),
              L"e192921075e345f4f9a43e7acdb6c322");
}

TEST(MsiRules, UpgradeCodeOfAnotherLengthPassesUnchanged) {
    EXPECT_EQ(PackedUpgradeCode(L"0129291E-3E57-4F54-9F4A-E3A7DC6B3C22"),
              L"0129291E-3E57-4F54-9F4A-E3A7DC6B3C22");
    EXPECT_EQ(PackedUpgradeCode(L"{0129291E-3E57-4F54-9F4A-E3A7DC6B3C22}x"),
              L"{0129291E-3E57-4F54-9F4A-E3A7DC6B3C22}x");
    EXPECT_EQ(PackedUpgradeCode(L"E192921075E345F4F9A43E7ACDB6C322"), L"E192921075E345F4F9A43E7ACDB6C322");
    EXPECT_EQ(PackedUpgradeCode(L""), L"");
}

TEST(MsiRules, RegistryRootsMapToTheirHivesAndTheRestToLocalMachine) {
    EXPECT_EQ(MsiRegistryRootName(MsiRegistryRoot(0)), L"HKEY_CLASSES_ROOT");
    EXPECT_EQ(MsiRegistryRootName(MsiRegistryRoot(1)), L"HKEY_CURRENT_USER");
    EXPECT_EQ(MsiRegistryRootName(MsiRegistryRoot(2)), L"HKEY_LOCAL_MACHINE");
    EXPECT_EQ(MsiRegistryRootName(MsiRegistryRoot(3)), L"HKEY_USERS");
    for (int32_t other : {-1, 4, INT_MIN /* a null column */})
        EXPECT_EQ(MsiRegistryRoot(other), TMsiRegistryRoot::LocalMachine) << other;
}

TEST(MsiRegistryName, WholeKeyMarksGiveAnEmptyRecursiveName) {
    for (auto mark : {L"*", L"-"}) {
        auto name = MsiRegistryName(mark);
        ASSERT_TRUE(name) << mark;
        EXPECT_EQ(name->ValueName, L"");
        EXPECT_TRUE(name->Recursive);
    }
}

TEST(MsiRegistryName, KeyCreationAndDefaultValueRowsAreSkipped) {
    EXPECT_FALSE(MsiRegistryName(L"+"));
    EXPECT_FALSE(MsiRegistryName(L""));
}

TEST(MsiRegistryName, OtherNamesAreValueNames) {
    for (auto text : {L"InstallDir", L"**", L"-x", L"+ ", L" "}) {
        auto name = MsiRegistryName(text);
        ASSERT_TRUE(name) << text;
        EXPECT_EQ(name->ValueName, text);
        EXPECT_FALSE(name->Recursive);
    }
}
