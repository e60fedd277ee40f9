// The program folders of a removal, and the folders it never takes as one.
#include "forceremove/AppFolders.h"
#include "forceremove/SharedFolders.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

TSharedFolders SampleSystem() {
    return TSharedFolders({L"C:\\Windows", L"C:\\Program Files\\", L"C:\\ProgramData",
                           L"C:\\Users\\Ann\\AppData\\Roaming", L""},
                          {L"C:\\Users", L"C:\\Program Files\\Common Files"}, [](std::wstring_view path) {
                              return path == L"C:\\PROGRA~1" ? std::wstring(L"C:\\Program Files")
                                                             : std::wstring(path);
                          });
}

} // namespace

// Drive and share roots in every form, the system folders and the profiles
// folder with every profile in it, as they stand; below them, or merely named
// alike, a folder may be a program's (as AddProgramFolder applies it on the
// real folders, under Wine).
TEST(SharedFolders, RootsSystemFoldersAndProfilesAreRefusedOnlyAsTheyStand) {
    const auto shared = SampleSystem();
    // Roots in every form; the system folders and profiles.
    for (const wchar_t* folder : {L"C:\\", L"c:", L"D:/", L"\\", L"\\\\?\\C:\\", L"\\\\server\\share\\",
                                  L"\\\\?\\UNC\\server\\share", L"C:\\Tools\\..\\.."})
        EXPECT_TRUE(shared.IsShared(folder)) << ::testing::PrintToString(std::wstring(folder));
    for (const wchar_t* folder :
         {L"C:\\Program Files", L"c:\\program files\\", L"C:/Program Files/Vendor/..",
          L"C:\\Program Files\\Common Files\\", L"C:\\ProgramData\\.\\",
          L"C:\\Users\\Ann\\AppData\\Roaming\\", L"C:\\WINDOWS", L"C:\\PROGRA~1", L"C:\\Users\\",
          L"C:\\Users\\Bob", L"c:\\users\\Public\\", L"C:\\Program Files\\Common Files\\Vendor\\"})
        EXPECT_TRUE(shared.IsShared(folder)) << ::testing::PrintToString(std::wstring(folder));
    for (const wchar_t* folder :
         {L"\\\\server\\share\\Tools", L"D:\\Tools", L"C:\\Program Files\\Vendor\\A\\",
          L"C:\\Program Files Extra", L"C:\\ProgramData\\Vendor",
          L"C:\\Users\\Ann\\AppData\\Roaming\\Vendor\\A", L"C:\\PROGRA~1\\Vendor", L"",
          L"C:\\Users\\Bob\\Tools", L"C:\\UsersData\\Bob", L"C:\\Program Files\\Common Files\\Vendor\\A"})
        EXPECT_FALSE(shared.IsShared(folder)) << ::testing::PrintToString(std::wstring(folder));
}

// A program without an install location keeps an empty first entry that
// matches nothing; a folder inside the Windows folder, a root or a path that
// is not full (taken as it stands it would match anywhere, and a scan would
// resolve it against the current folder) never becomes one.
TEST(AppFolders, AProgramFolderClaimsWhatLiesInItByWholeComponentsAndOnlyAsAFullPath) {
    TAppFolders folders(L"C:\\Windows\\");
    for (auto folder :
         {L"", L"C:\\Apps\\Foo", L"c:\\apps\\foo\\data", L"C:\\Windows", L"c:\\windows\\System32\\Vendor",
          L"C:\\WINDOWS\\Installer\\{Product}\\", L"C:\\Program Files\\..\\Windows\\Temp", L"Vendor",
          L"\\App", L"C:App", L"bin", L"C:\\", L"\\\\server\\share", L"C:\\ProgramData\\Foo\\",
          L"\\\\?\\UNC\\server\\share\\Tools"})
        folders.Add(folder);
    ASSERT_EQ(folders.Count(), 4u);
    EXPECT_EQ(folders.GetItem(0), L"");
    EXPECT_EQ(folders.GetItem(1), L"C:\\Apps\\Foo\\");
    EXPECT_EQ(folders.GetItem(2), L"C:\\ProgramData\\Foo\\");
    EXPECT_EQ(folders.GetItem(3), L"\\\\server\\share\\Tools\\");

    for (auto path :
         {L"C:\\APPS\\FOO\\bin\\foo.exe", L"C:\\Apps\\Foo", L"\"C:\\ProgramData\\Foo\\svc.exe\" -run",
          L" \"c:/apps/foo/x.exe\"", L"\\??\\C:\\Apps\\Foo\\drv.sys", L"\\\\server\\share\\Tools\\t.exe",
          L"C:\\Apps\\Foo\\x.exe -config C:\\Other"})
        EXPECT_TRUE(folders.InAppFolder(path)) << ::testing::PrintToString(std::wstring(path));
    for (auto path :
         {L"C:\\Windows\\System32\\Vendor\\driver.sys", L"C:\\Apps\\FooBar\\bar.exe", L"C:\\Apps\\",
          L"D:\\Elsewhere\\x.exe", L"C:\\Apps\\Foo\\..\\Bar\\x.exe", L"C:\\Program Files\\Vendor\\B\\b.exe",
          L"Vendor\\b.exe", L"bin\\tool.exe", L"\\\\?\\C:\\Apps\\Foo\\..\\..\\Windows\\x.exe",
          L"\"C:\\Other\\x.exe\" C:\\Apps\\Foo\\data.ini", L""})
        EXPECT_FALSE(folders.InAppFolder(path)) << ::testing::PrintToString(std::wstring(path));
}

// A folder that holds another registered program's install location (a
// vendor folder with a shared uninstaller, a data folder named like the
// program) is not the program's; compared by whole components.
TEST(AppFolders, AFolderHoldingAnotherProgramsInstallLocationIsRefused) {
    const auto shared = SampleSystem();
    TAppFolders folders(L"C:\\Windows", {L"C:\\Program Files\\Vendor\\B\\", L"\"D:\\Shared\"", L"Vendor",
                                         L"C:\\Users\\Ann\\AppData\\Roaming\\Vendor\\B"});
    for (auto folder : {L"C:\\Program Files\\Vendor", L"c:\\program files\\vendor\\b", L"D:\\Shared\\",
                        L"C:\\Users\\Ann\\AppData\\Roaming\\Vendor"}) {
        EXPECT_TRUE(folders.HoldsOtherProgram(folder)) << ::testing::PrintToString(std::wstring(folder));
        EXPECT_FALSE(AddProgramFolder(folders, folder, shared))
            << ::testing::PrintToString(std::wstring(folder));
    }
    for (auto folder : {L"C:\\Program Files\\Vendor\\A", L"C:\\Program Files\\Vendor\\Bravo",
                        L"D:\\SharedData", L"C:\\Tools\\Vendor"})
        EXPECT_TRUE(AddProgramFolder(folders, folder, shared))
            << ::testing::PrintToString(std::wstring(folder));
    EXPECT_EQ(folders.Count(), 4u);
    EXPECT_FALSE(folders.InAppFolder(L"C:\\Program Files\\Vendor\\B\\b.exe"));
}
