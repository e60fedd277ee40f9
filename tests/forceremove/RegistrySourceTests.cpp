// The system's registry source, which the registry scanners read through:
// value types and views as Windows keeps them; and the scanners as the
// removal runs them. The scanners' rules are tested on a registry of the
// test's own (RegistryScannersTests.cpp).
#include "MachineKit.h"
#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/RegistryReads.h"
#include "forceremove/RegistrySource.h"
#include "forceremove/RemovalSystem.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
#include "forceremove/ShortcutList.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::Contains;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

TEST(RegistrySource, ReadsAKeyTextInItsViewAndWithoutAViewInThe64BitOne) {
    const TMachineTestKey key(L"Reads");
    const TRegistrySource& source = SystemRegistrySource();
    auto text = [&](std::wstring_view view, std::wstring_view subKey = {}) {
        return std::wstring(view) + L"HKLM\\" + key.Path + (subKey.empty() ? L"" : L"\\") +
               std::wstring(subKey);
    };
    const TRegKey key64 = key.Create(TRegView::x64);
    key64.WriteString(L"", L"App default");
    key64.WriteExpandString(L"Home", L"%ProgramFiles%\\App");
    key64.WriteNumber(L"Count", 1);
    key.Create(TRegView::x64, L"Values").WriteString(L"Name", L"x");
    key.Create(TRegView::x64, L"Number").WriteNumber(L"", 7);
    key.Create(TRegView::x32).WriteExpandString(L"", L"%ProgramFiles%\\App32");
    key.Create(TRegView::x32, L"Three");

    for (auto view : {L"", L"(x64)"}) {
        EXPECT_THAT(source.SubKeyNames(text(view)), UnorderedElementsAre(L"Values", L"Number"));
        EXPECT_THAT(source.ValueNames(text(view)), UnorderedElementsAre(L"", L"Home", L"Count"));
        EXPECT_EQ(ReadDefaultString(text(view)), L"App default");
    }
    EXPECT_THAT(source.SubKeyNames(text(L"(x32)")), UnorderedElementsAre(L"Three"));
    EXPECT_EQ(ReadDefaultString(text(L"(x32)")), L"%ProgramFiles%\\App32");
    // A plain string, or either text type unexpanded; nothing for another type.
    EXPECT_EQ(source.ReadString(text(L""), L""), L"App default");
    EXPECT_EQ(source.ReadString(text(L""), L"Home"), std::nullopt);
    EXPECT_EQ(source.ReadText(text(L""), L"Home"), L"%ProgramFiles%\\App");
    EXPECT_EQ(source.ReadText(text(L""), L"Count"), std::nullopt);
    EXPECT_EQ(ReadDefaultString(text(L"", L"Number")), L"");
    // A key that does not open yields nothing.
    EXPECT_THAT(source.SubKeyNames(text(L"", L"Missing")), IsEmpty());
    EXPECT_THAT(source.ValueNames(text(L"", L"Missing")), IsEmpty());
    EXPECT_EQ(ReadDefaultString(text(L"", L"Missing")), L"");
    EXPECT_THAT(source.ValueNames(L"not a key"), IsEmpty());
}

TEST(RegistrySource, TellsAKeyBothViewsShareFromOneEachViewHasApart) {
    const TRegistrySource& source = SystemRegistrySource();
    EXPECT_TRUE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CLASSES_ROOT\\CLSID\\"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_LOCAL_MACHINE\\Software\\Microsoft"));
    EXPECT_FALSE(source.SharedByBothViews(L"HKEY_CURRENT_USER\\Software\\Velmora missing key"));
}

// A program without an installer package: the App Paths key of its program
// is found only when the file scan ran before the registry scanners. The
// same name's key of the machine records another program's file: it stays.
TEST(RegistrySource, TheRemovalsScannersFindTheKeysOfTheProgramsFilesAfterTheFileScan) {
    TTwoPrograms programs;
    const std::wstring exe = programs.Vendor + L".exe";
    const std::wstring appPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + exe;
    WriteFile(programs.InstallA + exe, 10);
    TRegKey::CreateOrThrow(HKEY_CURRENT_USER, appPath).WriteString(L"", programs.InstallA + exe);
    TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, appPath, KEY_READ | KEY_WRITE, TRegView::x64)
        .WriteString(L"", programs.InstallB + exe);
    auto system = WindowsRemovalSystem();
    TAppFolders folders(WindowsFolder());
    ASSERT_TRUE(AddProgramFolder(folders, programs.InstallA, system->SharedFolders()));
    TFRSharedDlls sharedDlls(system->SharedDllCounts());
    TFRFileList files(sharedDlls);
    std::vector<TFRFile*> dataFiles;
    TFRRegList regList(true);
    TFRShortcutList shortcuts;
    TFRServiceList services;
    TIDList appIDs, clsids;
    const TFRScanLists lists{folders, files, dataFiles, regList, shortcuts, services, appIDs, clsids};
    const TFRProduct product{
        programs.NameA, L"{00000000-0000-0000-0000-000000000000}", programs.InstallA, {}, programs.Vendor};

    for (auto& scanner : system->Scanners(product, lists, [] {}))
        scanner->Run();
    std::vector<std::wstring> listed;
    for (size_t i = 0; i < regList.Count(); ++i)
        listed.push_back(regList.GetItem(i).FullPath());
    DeleteKey(HKEY_CURRENT_USER, appPath);
    DeleteKey(TRegRoot::LocalMachine, appPath, TRegView::x64);
    EXPECT_THAT(listed, Contains(L"(x64)HKEY_CURRENT_USER\\" + appPath + L"\\"));
    EXPECT_THAT(listed, Not(Contains(L"(x64)HKEY_LOCAL_MACHINE\\" + appPath + L"\\")));
}
