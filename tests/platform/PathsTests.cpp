#include "platform/Paths.h"

#include "platform/Files.h"
#include "platform/FileVersionInfo.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <vector>

using namespace velmora;

namespace {

std::wstring UniqueName() {
    GUID guid;
    CoCreateGuid(&guid);
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

void MakeFile(const std::wstring& path, std::string_view content = "x") {
    unique_file file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file) << Narrow(path);
    DWORD written = 0;
    WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

// A scratch folder under %TEMP% with a blank in its name, removed afterwards.
class PathsTest : public testing::Test {
protected:
    void SetUp() override {
        FRoot = TempFolder() + L"\\velmora " + UniqueName();
        ASSERT_TRUE(CreateDirectoryW(FRoot.c_str(), nullptr));
    }
    void TearDown() override {
        RemoveTree(FRoot);
        EXPECT_FALSE(PathExists(FRoot));
    }
    static void RemoveTree(const std::wstring& folder) {
        std::vector<std::wstring> folders, files;
        for (const auto& entry : FindFiles(folder + L"\\*"))
            (entry.IsFolder() ? folders : files).push_back(folder + L"\\" + std::wstring(entry.Name()));
        for (const auto& f : files)
            DeleteFileW(f.c_str());
        for (const auto& f : folders)
            RemoveTree(f);
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring FRoot;
};

std::vector<std::wstring> Names(TFindFiles files) {
    std::vector<std::wstring> names;
    for (const auto& entry : files)
        names.emplace_back(entry.Name());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Paths, SystemFoldersExistAndHaveNoTrailingBackslash) {
    for (const auto& folder : {SystemFolder(), WindowsFolder(), ProgramFilesFolder(), ProgramFilesX86Folder(),
                               CommonAppDataFolder(), AppDataFolder(), LocalAppDataFolder(), TempFolder()}) {
        EXPECT_TRUE(FolderExists(folder)) << Narrow(folder);
        ASSERT_FALSE(folder.empty());
        EXPECT_NE(folder.back(), L'\\') << Narrow(folder);
    }
    EXPECT_EQ(SystemFolderWithBackslash(), SystemFolder() + L"\\");
    EXPECT_TRUE(FileExists(SystemFolderWithBackslash() + L"kernel32.dll"));
    EXPECT_TRUE(StartsWithText(SystemFolder(), WindowsFolder() + L"\\"));
    // On 64-bit Windows the two program-files folders differ.
    EXPECT_FALSE(SameText(ProgramFilesFolder(), ProgramFilesX86Folder()));
    EXPECT_TRUE(SameText(ProgramFilesFolder(), ExpandEnvironment(L"%ProgramW6432%")));
    EXPECT_TRUE(SameText(ProgramFilesX86Folder(), ExpandEnvironment(L"%ProgramFiles(x86)%")));
    // The x64 build needs no mapping into the 64-bit system folder.
    std::wstring notepad = SystemFolderWithBackslash() + L"notepad.exe";
    EXPECT_EQ(CheckFileX64(notepad), notepad);
}

TEST(Paths, EnvironmentExpansionAndPreparedFileNames) {
    EXPECT_TRUE(SameText(ExpandEnvironment(L"%SystemRoot%\\x.exe"), WindowsFolder() + L"\\x.exe"));
    EXPECT_EQ(ExpandEnvironment(L"%VELMORA_NOT_SET%\\x"), L"%VELMORA_NOT_SET%\\x");
    EXPECT_EQ(ExpandEnvironment(L""), L"");
    std::wstring longText(5000, L'a');
    EXPECT_EQ(ExpandEnvironment(longText + L"%VELMORA_NOT_SET%"), longText + L"%VELMORA_NOT_SET%");

    EXPECT_TRUE(
        SameText(PrepareFileName(L" \"%windir%\\notepad.exe\" "), WindowsFolder() + L"\\notepad.exe"));
    EXPECT_EQ(EnvironmentVariable(L"VELMORA_NOT_SET"), std::nullopt);
    ASSERT_TRUE(EnvironmentVariable(L"SystemRoot"));
    EXPECT_TRUE(SameText(*EnvironmentVariable(L"SystemRoot"), WindowsFolder()));
}

TEST(Paths, SearchPathFindsSystemPrograms) {
    std::wstring cmd = SearchPath(L"cmd.exe");
    EXPECT_TRUE(SameText(cmd, SystemFolderWithBackslash() + L"cmd.exe")) << Narrow(cmd);
    EXPECT_TRUE(SameText(SearchPath(L"cmd", L".exe"), cmd));
    EXPECT_EQ(SearchPath(L"cmd"), L"");
    EXPECT_EQ(SearchPath(L"velmora-no-such-program.exe"), L"");
    EXPECT_EQ(SearchPath(L""), L"");
}

TEST_F(PathsTest, PathRemoveArgsResolvesBlanksAgainstTheFileSystem) {
    std::wstring app = FRoot + L"\\My App";
    ASSERT_TRUE(CreateDirectoryW(app.c_str(), nullptr));
    MakeFile(app + L"\\uninst.exe");

    EXPECT_EQ(PathRemoveArgs(app + L"\\uninst.exe /S _?=" + app), app + L"\\uninst.exe");
    EXPECT_EQ(PathRemoveArgs(app + L"\\uninst /S"), app + L"\\uninst.exe");
    EXPECT_EQ(PathRemoveArgs(L"\"" + app + L"\\uninst.exe\" /S"), app + L"\\uninst.exe");
    EXPECT_EQ(PathRemoveArgs(L"MsiExec.exe /X{00000000-0000-0000-0000-000000000000}"), L"MsiExec.exe");
    // Variables are expanded for the check only.
    std::wstring tempRelative = L"%TEMP%" + app.substr(TempFolder().size());
    EXPECT_EQ(PathRemoveArgs(tempRelative + L"\\uninst.exe /S"), tempRelative + L"\\uninst.exe");
    // A folder is no program.
    EXPECT_EQ(PathRemoveArgs(app + L" x"), FRoot.substr(0, FRoot.find(L' ')));
}

TEST_F(PathsTest, FileAndFolderChecksAndFolderWalk) {
    MakeFile(FRoot + L"\\a.txt", "12345");
    MakeFile(FRoot + L"\\b.log");
    ASSERT_TRUE(CreateDirectoryW((FRoot + L"\\sub").c_str(), nullptr));
    MakeFile(FRoot + L"\\sub\\c.txt");

    EXPECT_TRUE(FileExists(FRoot + L"\\a.txt"));
    EXPECT_FALSE(FolderExists(FRoot + L"\\a.txt"));
    EXPECT_TRUE(FolderExists(FRoot + L"\\sub"));
    EXPECT_TRUE(FolderExists(FRoot + L"\\sub\\"));
    EXPECT_FALSE(FileExists(FRoot + L"\\sub"));
    EXPECT_TRUE(PathExists(FRoot + L"\\sub"));
    EXPECT_FALSE(PathExists(FRoot + L"\\missing"));
    EXPECT_FALSE(FileExists(L""));
    EXPECT_EQ(FileSize(FRoot + L"\\a.txt"), 5u);
    EXPECT_EQ(FileSize(FRoot + L"\\missing"), std::nullopt);

    EXPECT_EQ(Names(FindFiles(FRoot + L"\\*")), (std::vector<std::wstring>{L"a.txt", L"b.log", L"sub"}));
    EXPECT_EQ(Names(FindFiles(FRoot + L"\\*.txt")), (std::vector<std::wstring>{L"a.txt"}));
    EXPECT_TRUE(Names(FindFiles(FRoot + L"\\*.none")).empty());
    EXPECT_TRUE(Names(FindFiles(FRoot + L"\\missing\\*")).empty());
    for (const auto& entry : FindFiles(FRoot + L"\\*")) {
        EXPECT_EQ(entry.IsFolder(), entry.Name() == L"sub");
        if (entry.Name() == L"a.txt") {
            EXPECT_EQ(entry.Size(), 5u);
        }
    }
    // An empty folder lists nothing, not its dot entries.
    EXPECT_TRUE(Names(FindFiles(FRoot + L"\\sub\\*.none")).empty());
    ASSERT_TRUE(DeleteFileW((FRoot + L"\\sub\\c.txt").c_str()));
    EXPECT_TRUE(Names(FindFiles(FRoot + L"\\sub\\*")).empty());
}

TEST(FileVersionInfo, SystemLibraryVersionIsReadable) {
    TFileVersionInfo info(SystemFolderWithBackslash() + L"shell32.dll");
    ASSERT_TRUE(info);
    auto fixed = info.FixedFileVersion();
    ASSERT_TRUE(fixed);
    EXPECT_GT(fixed->Major, 0);
    std::wstring fileVersion = info.GetValue(L"FileVersion");
    EXPECT_TRUE(StartsWithText(fileVersion, Format(L"%d.%d", fixed->Major, fixed->Minor)))
        << Narrow(fileVersion);
    EXPECT_FALSE(info.GetValue(L"ProductName").empty());
    EXPECT_EQ(info.GetValue(L"NoSuchValue"), L"");
}

TEST(FileVersionInfo, StringsComeFromTheFirstTranslationThenTheFallbacks) {
    TFileVersionInfo first(ThisModuleFolder() + L"VelmoraTestInstance.dll");
    ASSERT_TRUE(first);
    auto fixed = first.FixedFileVersion();
    ASSERT_TRUE(fixed);
    EXPECT_EQ(fixed->Major, 1);
    EXPECT_EQ(fixed->Minor, 2);
    EXPECT_EQ(fixed->Release, 3);
    EXPECT_EQ(fixed->Build, 4);
    EXPECT_EQ(first.GetValue(L"CompanyName"), L"Velmora Test GmbH");
    EXPECT_EQ(first.GetValue(L"ProductName"), L"Velmora Testbibliothek");

    TFileVersionInfo latin(ThisModuleFolder() + L"VelmoraTestNoExport.dll");
    ASSERT_TRUE(latin);
    EXPECT_EQ(latin.FixedFileVersion()->Build, 65535);
    EXPECT_EQ(latin.GetValue(L"CompanyName"), L"Velmora Latin");

    TFileVersionInfo none(SystemFolderWithBackslash() + L"drivers\\etc\\hosts");
    EXPECT_FALSE(none);
    EXPECT_EQ(none.FixedFileVersion(), std::nullopt);
    EXPECT_EQ(none.GetValue(L"FileVersion"), L"");
    EXPECT_FALSE(TFileVersionInfo(L"C:\\velmora\\missing.dll"));
}
