// The program folders of a removal, and the folders it never takes as one.
#include "forceremove/AppFolders.h"
#include "forceremove/SharedFolders.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

TSharedFolders SampleSystem() {
    return TSharedFolders({L"C:\\Windows", L"C:\\Program Files\\", L"C:\\Program Files\\Common Files",
                           L"C:\\ProgramData", L"C:\\Users\\Ann\\AppData\\Roaming", L""},
                          {L"C:\\Users"}, [](std::wstring_view path) {
                              return path == L"C:\\PROGRA~1" ? std::wstring(L"C:\\Program Files")
                                                             : std::wstring(path);
                          });
}

} // namespace

// Drive and share roots in every form, the system folders and the profiles
// folder with every profile in it, as they stand; below them, or merely named
// alike, a folder may be a program's.
TEST(SharedFolders, RootsSystemFoldersAndProfilesAreRefusedOnlyAsTheyStand) {
    const auto shared = SampleSystem();
    for (const wchar_t* folder :
         {L"C:\\", L"c:", L"D:/", L"\\", L"\\\\?\\C:\\", L"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share",
          L"C:\\Tools\\..\\..", L"C:\\Program Files", L"c:\\program files\\", L"C:/Program Files/Vendor/..",
          L"C:\\Program Files\\Common Files\\", L"C:\\ProgramData\\.\\",
          L"C:\\Users\\Ann\\AppData\\Roaming\\", L"C:\\WINDOWS", L"C:\\PROGRA~1", L"C:\\Users\\",
          L"C:\\Users\\Bob", L"c:\\users\\Public\\"})
        EXPECT_TRUE(shared.IsShared(folder)) << testing::PrintToString(std::wstring(folder));
    for (const wchar_t* folder :
         {L"\\\\server\\share\\Tools", L"D:\\Tools", L"C:\\Program Files\\Vendor\\A\\",
          L"C:\\Program Files Extra", L"C:\\ProgramData\\Vendor",
          L"C:\\Users\\Ann\\AppData\\Roaming\\Vendor\\A", L"C:\\PROGRA~1\\Vendor", L"",
          L"C:\\Users\\Bob\\Tools", L"C:\\UsersData\\Bob"})
        EXPECT_FALSE(shared.IsShared(folder)) << testing::PrintToString(std::wstring(folder));

    TAppFolders folders(L"C:\\Windows");
    EXPECT_FALSE(AddProgramFolder(folders, L"C:\\Program Files\\", shared));
    EXPECT_EQ(folders.Count(), 0u);
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Program Files\\Other\\b.exe"));
    EXPECT_TRUE(AddProgramFolder(folders, L"C:\\Program Files\\Vendor\\A", shared));
    ASSERT_EQ(folders.Count(), 1u);
    EXPECT_EQ(folders.GetItem(0), L"C:\\Program Files\\Vendor\\A\\");
}

// A program without an install location keeps an empty first entry that
// matches nothing; a folder inside the Windows folder never becomes one.
TEST(AppFolders, AProgramFolderClaimsWhatLiesInItButNotASiblingThatStartsLikeIt) {
    TAppFolders folders(L"C:\\Windows\\");
    for (auto folder :
         {L"", L"C:\\Apps\\Foo", L"c:\\apps\\foo\\data", L"C:\\Windows", L"c:\\windows\\System32\\Vendor",
          L"C:\\WINDOWS\\Installer\\{Product}\\", L"C:\\ProgramData\\Foo\\"})
        folders.Add(folder);
    ASSERT_EQ(folders.Count(), 3u);
    EXPECT_EQ(folders.GetItem(0), L"");
    EXPECT_EQ(folders.GetItem(1), L"C:\\Apps\\Foo\\");
    EXPECT_EQ(folders.GetItem(2), L"C:\\ProgramData\\Foo\\");

    EXPECT_FALSE(folders.InAppFolder(L"C:\\Windows\\System32\\Vendor\\driver.sys"));
    EXPECT_TRUE(folders.InAppFolder(L"C:\\APPS\\FOO\\bin\\foo.exe"));
    EXPECT_TRUE(folders.InAppFolder(L"\"C:\\ProgramData\\Foo\\svc.exe\" -run"));
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Apps\\FooBar\\bar.exe"));
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Apps\\"));
    EXPECT_FALSE(folders.InAppFolder(L"D:\\Elsewhere\\x.exe"));
}
