#include "forceremove/AppFolders.h"
#include "forceremove/IDList.h"
#include "forceremove/ShortcutList.h"

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

TEST(IDList, IdentifiersCompareWithoutCaseAndAnEmptyOneIsNeverListed) {
    TIDList ids;
    ids.Add(L"{5f0e7c1a-0000-4000-8000-000000000001}");
    ids.Add(L"");
    EXPECT_TRUE(ids.Exists(L"{5F0E7C1A-0000-4000-8000-000000000001}"));
    EXPECT_FALSE(ids.Exists(L"{5F0E7C1A-0000-4000-8000-000000000002}"));
    EXPECT_FALSE(ids.Exists(L""));
}

TEST(ShortcutList, AShortcutIsListedOncePerPathAsWritten) {
    TFRFile file(L"C:\\Users\\Public\\Desktop\\App.lnk", false, 1);
    TFRFile sameInOtherCase(L"C:\\Users\\Public\\Desktop\\app.lnk", false, 1);
    TFRShortcutList list;
    EXPECT_TRUE(list.Add(file, L"C:\\Apps\\App\\app.exe"));
    EXPECT_FALSE(list.Add(file, L""));
    EXPECT_TRUE(list.Add(sameInOtherCase, L""));
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(&list.GetItem(0).ShortcutFile(), &file);
    EXPECT_EQ(list.GetItem(0).Target(), L"C:\\Apps\\App\\app.exe");
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_TRUE(list.Add(file, L""));
}
