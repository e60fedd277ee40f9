#include "platform/Paths.h"

#include "platform/Files.h"
#include "platform/FileVersionInfo.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

using namespace velmora;

namespace {

// A scratch folder under %TEMP% with a blank in its name, removed afterwards.
class PathsTest : public testing::Test {
protected:
    void SetUp() override {
        GUID guid;
        CoCreateGuid(&guid);
        wchar_t text[40];
        StringFromGUID2(guid, text, 40);
        FRoot = TempFolder() + L"\\velmora " + text;
        ASSERT_TRUE(CreateDirectoryW(FRoot.c_str(), nullptr));
    }
    void TearDown() override { std::filesystem::remove_all(FRoot); }
    void MakeFile(const std::wstring& relative, std::string_view content = "x") {
        std::filesystem::path path = FRoot + L"\\" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    std::vector<std::wstring> Names(const std::wstring& pattern) {
        std::vector<std::wstring> names;
        for (const auto& entry : FindFiles(FRoot + L"\\" + pattern))
            names.emplace_back(entry.Name());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::wstring FRoot;
};

} // namespace

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
    EXPECT_EQ(SearchPath(L"cmd"), L"");
    EXPECT_EQ(SearchPath(L"velmora-no-such-program.exe"), L"");
}

TEST_F(PathsTest, PathRemoveArgsResolvesBlanksAgainstTheFileSystem) {
    MakeFile(L"My App\\uninst.exe");
    std::wstring app = FRoot + L"\\My App";
    EXPECT_EQ(PathRemoveArgs(app + L"\\uninst.exe /S _?=" + app), app + L"\\uninst.exe");
    EXPECT_EQ(PathRemoveArgs(app + L"\\uninst /S"), app + L"\\uninst.exe");
    // Variables are expanded for the check only.
    std::wstring tempRelative = L"%TEMP%" + app.substr(TempFolder().size());
    EXPECT_EQ(PathRemoveArgs(tempRelative + L"\\uninst.exe /S"), tempRelative + L"\\uninst.exe");
    // A folder is no program.
    EXPECT_EQ(PathRemoveArgs(app + L" x"), FRoot.substr(0, FRoot.find(L' ')));
}

TEST_F(PathsTest, FileAndFolderChecksAndFolderWalk) {
    MakeFile(L"a.txt", "12345");
    MakeFile(L"b.log");
    MakeFile(L"sub\\c.txt");
    EXPECT_TRUE(FileExists(FRoot + L"\\a.txt"));
    EXPECT_FALSE(FolderExists(FRoot + L"\\a.txt"));
    EXPECT_TRUE(FolderExists(FRoot + L"\\sub\\"));
    EXPECT_FALSE(FileExists(FRoot + L"\\sub"));
    EXPECT_EQ(FileSize(FRoot + L"\\a.txt"), 5u);
    EXPECT_EQ(FileSize(FRoot + L"\\missing"), std::nullopt);

    EXPECT_EQ(Names(L"*"), (std::vector<std::wstring>{L"a.txt", L"b.log", L"sub"}));
    EXPECT_EQ(Names(L"*.txt"), (std::vector<std::wstring>{L"a.txt"}));
    for (const auto& entry : FindFiles(FRoot + L"\\*"))
        EXPECT_EQ(entry.IsFolder(), entry.Name() == L"sub");
    // An empty folder lists nothing, not its dot entries.
    ASSERT_TRUE(DeleteFileW((FRoot + L"\\sub\\c.txt").c_str()));
    EXPECT_TRUE(Names(L"sub\\*").empty());
}

TEST(FileVersionInfo, StringsComeFromTheFirstTranslationThenTheFallbacks) {
    TFileVersionInfo first(ThisModuleFolder() + L"VelmoraTestInstance.dll");
    ASSERT_TRUE(first);
    auto fixed = first.FixedFileVersion();
    ASSERT_TRUE(fixed);
    EXPECT_EQ(Format(L"%d.%d.%d.%d", fixed->Major, fixed->Minor, fixed->Release, fixed->Build), L"1.2.3.4");
    EXPECT_EQ(first.GetValue(L"CompanyName"), L"Velmora Test GmbH");
    EXPECT_EQ(first.GetValue(L"NoSuchValue"), L"");

    TFileVersionInfo latin(ThisModuleFolder() + L"VelmoraTestNoExport.dll");
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin.FixedFileVersion()->Build, 65535);
    EXPECT_EQ(latin.GetValue(L"CompanyName"), L"Velmora Latin");

    TFileVersionInfo none(SystemFolderWithBackslash() + L"drivers\\etc\\hosts");
    EXPECT_FALSE(none);
    EXPECT_EQ(none.GetValue(L"FileVersion"), L"");
    EXPECT_FALSE(TFileVersionInfo(L"C:\\velmora\\missing.dll"));
}
