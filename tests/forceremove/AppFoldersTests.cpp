#include "forceremove/AppFolders.h"

#include <gtest/gtest.h>

using namespace velmora;

TEST(AppFolders, AFolderInsideTheWindowsFolderNeverBecomesAProgramFolder) {
    TAppFolders folders(L"C:\\Windows\\");
    folders.Add(L"C:\\Windows");
    folders.Add(L"c:\\windows\\System32\\Vendor");
    folders.Add(L"C:\\WINDOWS\\Installer\\{Product}\\");
    EXPECT_EQ(folders.Count(), 0u);
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Windows\\System32\\Vendor\\driver.sys"));
}

TEST(AppFolders, AProgramFolderClaimsWhatLiesInItButNotASiblingThatStartsLikeIt) {
    TAppFolders folders(L"C:\\Windows");
    folders.Add(L"C:\\Apps\\Foo");
    folders.Add(L"c:\\apps\\foo\\data");
    folders.Add(L"C:\\ProgramData\\Foo\\");
    ASSERT_EQ(folders.Count(), 2u);
    EXPECT_EQ(folders.GetItem(0), L"C:\\Apps\\Foo\\");
    EXPECT_EQ(folders.GetItem(1), L"C:\\ProgramData\\Foo\\");

    EXPECT_TRUE(folders.InAppFolder(L"C:\\APPS\\FOO\\bin\\foo.exe"));
    EXPECT_TRUE(folders.InAppFolder(L"\"C:\\ProgramData\\Foo\\svc.exe\" -run"));
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Apps\\FooBar\\bar.exe"));
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Apps\\"));
    EXPECT_THROW(folders.GetItem(2), std::out_of_range);
}

TEST(AppFolders, AProgramWithoutAnInstallLocationKeepsAnEmptyFirstEntryThatMatchesNothing) {
    TAppFolders folders(L"C:\\Windows");
    folders.Add(L"");
    folders.Add(L"C:\\ProgramData\\Foo");
    ASSERT_EQ(folders.Count(), 2u);
    EXPECT_EQ(folders.GetItem(0), L"");
    EXPECT_FALSE(folders.InAppFolder(L"D:\\Elsewhere\\x.exe"));
    EXPECT_TRUE(folders.InAppFolder(L"C:\\ProgramData\\Foo\\x.dat"));
}
