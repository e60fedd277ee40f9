#include "platform/Paths.h"

#include "platform/Files.h"
#include "platform/FileVersionInfo.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace velmora;

TEST(Paths, SystemFoldersEnvironmentAndSearchPath) {
    for (const auto& folder : {SystemFolder(), WindowsFolder(), ProgramFilesFolder(), ProgramFilesX86Folder(),
                               CommonAppDataFolder(), AppDataFolder(), LocalAppDataFolder(), TempFolder()}) {
        EXPECT_TRUE(FolderExists(folder)) << Narrow(folder);
        EXPECT_FALSE(folder.ends_with(L'\\')) << Narrow(folder);
    }
    // On 64-bit Windows the two program-files folders differ.
    EXPECT_TRUE(SameText(ProgramFilesFolder(), ExpandEnvironment(L"%ProgramW6432%")));
    EXPECT_TRUE(SameText(ProgramFilesX86Folder(), ExpandEnvironment(L"%ProgramFiles(x86)%")));
    EXPECT_FALSE(SameText(ProgramFilesFolder(), ProgramFilesX86Folder()));

    std::wstring longText(5000, L'a');
    EXPECT_EQ(ExpandEnvironment(longText + L"%VELMORA_NOT_SET%"), longText + L"%VELMORA_NOT_SET%");
    EXPECT_TRUE(
        SameText(PrepareFileName(L" \"%windir%\\notepad.exe\" "), WindowsFolder() + L"\\notepad.exe"));
    EXPECT_TRUE(SameText(SearchPath(L"cmd", L".exe"), SystemFolderWithBackslash() + L"cmd.exe"));
    EXPECT_EQ(SearchPath(L"velmora-no-such-program.exe"), L"");
}

TEST(Paths, FileChecksFolderWalkAndArgumentsAgainstTheFileSystem) {
    const std::wstring root =
        Format(L"%s\\velmora paths %d", TempFolder(), static_cast<int>(GetCurrentProcessId()));
    const std::wstring app = root + L"\\My App";
    std::filesystem::create_directories(app);
    std::ofstream(std::filesystem::path(app + L"\\uninst.exe")) << "12345";
    EXPECT_TRUE(FileExists(app + L"\\uninst.exe"));
    EXPECT_FALSE(FolderExists(app + L"\\uninst.exe"));
    EXPECT_TRUE(FolderExists(app + L"\\"));
    EXPECT_FALSE(FileExists(app));
    EXPECT_EQ(FileSize(app + L"\\uninst.exe"), 5u);
    EXPECT_EQ(FileSize(app + L"\\missing"), std::nullopt);
    // Variables are expanded for the check only.
    std::wstring tempRelative = L"%TEMP%" + app.substr(TempFolder().size());
    EXPECT_EQ(PathRemoveArgs(tempRelative + L"\\uninst /S"), tempRelative + L"\\uninst.exe");

    auto entries = [](const std::wstring& folder) {
        std::vector<std::pair<std::wstring, bool>> found;
        for (const auto& entry : FindFiles(folder + L"\\*"))
            found.emplace_back(entry.Name(), entry.IsFolder());
        return found;
    };
    EXPECT_EQ(entries(root), (std::vector<std::pair<std::wstring, bool>>{{L"My App", true}}));
    ASSERT_TRUE(DeleteFileW((app + L"\\uninst.exe").c_str()));
    EXPECT_TRUE(entries(app).empty()) << "no dot entries";
    std::filesystem::remove_all(root);
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
