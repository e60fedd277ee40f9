#include "platform/Paths.h"

#include "platform/FileVersionInfo.h"
#include "platform/Module.h"
#include "tests/TestBase.h"

using namespace velmora;

TEST(Paths, SystemFoldersAndSearchPath) {
    for (const auto& folder : {SystemFolder(), WindowsFolder(), ProgramFilesFolder(), ProgramFilesX86Folder(),
                               CommonAppDataFolder(), AppDataFolder(), LocalAppDataFolder(), TempFolder()}) {
        EXPECT_TRUE(FolderExists(folder)) << Narrow(folder);
        EXPECT_FALSE(folder.ends_with(L'\\')) << Narrow(folder);
    }
    // On 64-bit Windows the two program-files folders differ.
    EXPECT_TRUE(SameText(ProgramFilesFolder(), ExpandEnvironment(L"%ProgramW6432%")));
    EXPECT_TRUE(SameText(ProgramFilesX86Folder(), ExpandEnvironment(L"%ProgramFiles(x86)%")));
    EXPECT_FALSE(SameText(ProgramFilesFolder(), ProgramFilesX86Folder()));

    EXPECT_TRUE(SameText(SearchPath(L"cmd", L".exe"), SystemFolderWithBackslash() + L"cmd.exe"));
    EXPECT_EQ(SearchPath(L"velmora-no-such-program.exe"), L"");
}

TEST(FileVersionInfo, StringsComeFromTheFirstTranslationThenTheFallbacks) {
    TFileVersionInfo first(ThisModuleFolder() + L"VelmoraTestInstance.dll");
    ASSERT_TRUE(first && first.FixedFileVersion());
    auto fixed = first.FixedFileVersion();
    EXPECT_EQ(Format(L"%d.%d.%d.%d", fixed->Major, fixed->Minor, fixed->Release, fixed->Build), L"1.2.3.4");
    EXPECT_EQ(first.GetValue(L"CompanyName"), L"Velmora Test GmbH");
    EXPECT_EQ(first.GetValue(L"NoSuchValue"), L"");
    EXPECT_EQ(TFileVersionInfo(ThisModuleFolder() + L"VelmoraTestNoExport.dll").GetValue(L"CompanyName"),
              L"Velmora Latin");
    EXPECT_FALSE(TFileVersionInfo(SystemFolderWithBackslash() + L"drivers\\etc\\hosts"));
}
