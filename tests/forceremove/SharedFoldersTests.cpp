// The folders a forced removal never takes as a program's folder.
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

TEST(SharedFolders, DriveAndShareRootsAreRefusedInEveryForm) {
    const auto shared = SampleSystem();
    for (const wchar_t* root : {L"C:\\", L"c:", L"D:/", L"\\", L"\\\\?\\C:\\", L"\\\\server\\share\\",
                                L"\\\\?\\UNC\\server\\share", L"C:\\Tools\\..\\.."})
        EXPECT_TRUE(shared.IsShared(root)) << testing::PrintToString(std::wstring(root));
    EXPECT_FALSE(shared.IsShared(L"\\\\server\\share\\Tools"));
    EXPECT_FALSE(shared.IsShared(L"D:\\Tools"));
}

TEST(SharedFolders, SystemFoldersAreRefusedOnlyAsTheyStand) {
    const auto shared = SampleSystem();
    for (const wchar_t* folder : {L"C:\\Program Files", L"c:\\program files\\", L"C:/Program Files/Vendor/..",
                                  L"C:\\Program Files\\Common Files\\", L"C:\\ProgramData\\.\\",
                                  L"C:\\Users\\Ann\\AppData\\Roaming\\", L"C:\\WINDOWS", L"C:\\PROGRA~1"})
        EXPECT_TRUE(shared.IsShared(folder)) << testing::PrintToString(std::wstring(folder));
    // Below them, or merely named alike, a folder may be a program's.
    for (const wchar_t* folder :
         {L"C:\\Program Files\\Vendor\\A\\", L"C:\\Program Files Extra", L"C:\\ProgramData\\Vendor",
          L"C:\\Users\\Ann\\AppData\\Roaming\\Vendor\\A", L"C:\\PROGRA~1\\Vendor", L""})
        EXPECT_FALSE(shared.IsShared(folder)) << testing::PrintToString(std::wstring(folder));
}

TEST(SharedFolders, TheProfilesFolderAndEveryProfileInItAreRefused) {
    const auto shared = SampleSystem();
    EXPECT_TRUE(shared.IsShared(L"C:\\Users\\"));
    EXPECT_TRUE(shared.IsShared(L"C:\\Users\\Bob"));
    EXPECT_TRUE(shared.IsShared(L"c:\\users\\Public\\"));
    EXPECT_FALSE(shared.IsShared(L"C:\\Users\\Bob\\Tools"));
    EXPECT_FALSE(shared.IsShared(L"C:\\UsersData\\Bob"));
}

TEST(SharedFolders, AProgramFolderIsAddedOnlyWhenItIsNotShared) {
    const auto shared = SampleSystem();
    TAppFolders folders(L"C:\\Windows");
    EXPECT_FALSE(AddProgramFolder(folders, L"C:\\Program Files\\", shared));
    EXPECT_EQ(folders.Count(), 0u);
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Program Files\\Other\\b.exe"));
    EXPECT_TRUE(AddProgramFolder(folders, L"C:\\Program Files\\Vendor\\A", shared));
    ASSERT_EQ(folders.Count(), 1u);
    EXPECT_EQ(folders.GetItem(0), L"C:\\Program Files\\Vendor\\A\\");
}
