// The program-files and shortcut scanners on a machine with two programs of one vendor.
#include "MachineKit.h"

#include "forceremove/AppFiles.h"
#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
#include "forceremove/ShortcutList.h"
#include "forceremove/Shortcuts.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "tests/frame/LogTestKit.h"

#include <gmock/gmock.h>

#include <shlobj.h>

#include <algorithm>
#include <set>
#include <stdexcept>

using namespace velmora;
using namespace velmora::testing;
using ::testing::Contains;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

// One scan of program A (or of whatever install location a test records).
class AppFilesScan : public ::testing::Test {
protected:
    // Runs the scanner with the folders seeded so far.
    void Scan(const std::wstring& appName, TWorkflowCheck check = {}) {
        TFRAppFiles scanner(Folders, Files, std::move(check), appName, DataFiles, Shared);
        Scanner = &scanner;
        scanner.Run();
        Scanner = nullptr;
    }
    std::vector<std::wstring> DataPaths() const {
        std::vector<std::wstring> paths;
        for (const TFRFile* file : DataFiles)
            paths.push_back(file->Path());
        return paths;
    }
    std::vector<std::wstring> ListedPaths() const {
        std::vector<std::wstring> paths;
        for (size_t i = 0; i < Files.Count(); ++i)
            paths.push_back(Files.GetItem(i).Path());
        return paths;
    }
    std::vector<std::wstring> FolderItems() const {
        std::vector<std::wstring> items;
        for (size_t i = 0; i < Folders.Count(); ++i)
            items.push_back(Folders.GetItem(i));
        return items;
    }
    bool Lists(std::wstring_view part) const {
        auto paths = DataPaths();
        return std::any_of(paths.begin(), paths.end(),
                           [&](const auto& path) { return ContainsText(path, part); });
    }

    TTwoPrograms Machine;
    const TSharedFolders Shared = SystemSharedFolders();
    TFRSharedDlls SharedDlls{SystemSharedDllCounts()};
    TFRFileList Files{SharedDlls};
    std::vector<TFRFile*> DataFiles;
    TAppFolders Folders{WindowsFolder()};
    TFRAppFiles* Scanner = nullptr;
};

// A vendor menu folder with both programs' shortcuts and a menu folder (in a
// suite folder of its own) with only A's; the desktops are read end to end.
class ShortcutsScan : public AppFilesScan {
protected:
    void SetUp() override {
        for (const auto& [link, target] : {std::pair{VendorMenuA, Machine.AExe},
                                           {VendorMenuB, Machine.BExe},
                                           {OwnMenuA, Machine.AExe},
                                           {OwnMenuDeepA, Machine.ADll}})
            WriteShortcut(link, target);
        // As after the program-files scan: the install folder and a data folder.
        Folders.Add(Machine.InstallA);
        Folders.Add(Machine.RoamingA);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& path : {VendorMenu, Suite})
            std::filesystem::remove_all(path, ignored);
    }
    void Scan(TWorkflowCheck check = {}) {
        TFRShortcuts scanner(Folders, Files, Shortcuts, std::move(check));
        ShortcutScanner = &scanner;
        scanner.Run();
        ShortcutScanner = nullptr;
    }
    std::vector<std::wstring> ShortcutFiles() const {
        std::vector<std::wstring> paths;
        for (size_t i = 0; i < Shortcuts.Count(); ++i)
            paths.push_back(Shortcuts.GetItem(i).ShortcutFile().Path());
        return paths;
    }

    const std::wstring Programs = IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAMS));
    // Both programs' shortcuts: the folder stays, and B's shortcut in it.
    const std::wstring VendorMenu = Programs + Machine.Vendor + L"\\";
    const std::wstring VendorMenuA = VendorMenu + L"A.lnk", VendorMenuB = VendorMenu + L"B.lnk";
    // Only A's shortcuts, in a suite folder that holds nothing else: both go whole.
    const std::wstring Suite = Programs + Machine.Vendor + L" Suite\\";
    const std::wstring OwnMenu = Suite + L"Alpha\\";
    const std::wstring OwnMenuA = OwnMenu + L"A.lnk", OwnMenuDeepA = OwnMenu + L"Tools\\A library.lnk";
    TFRShortcutList Shortcuts;
    TFRShortcuts* ShortcutScanner = nullptr;
};

} // namespace

TEST_F(AppFilesScan, ListsTheProgramsFilesAndDataFoldersNothingOfItsNeighbourAndALinkOnce) {
    Folders.Add(Machine.InstallA);
    std::set<int32_t> progressSeen;
    Scan(Machine.NameA, [&] { progressSeen.insert(Scanner->GetProgress()); });

    const std::wstring link = Machine.LinkInA + L"\\";
    EXPECT_THAT(DataPaths(),
                UnorderedElementsAreArray({Machine.AExe, Machine.ADll, Machine.InstallA + L"lib\\", link,
                                           Machine.InstallA, Machine.RoamingAFile, Machine.RoamingA,
                                           Machine.LocalAFile, Machine.LocalA}));
    // Nothing of B, not through the link either; the upper-case data folder is not A's.
    EXPECT_EQ(Files.TotalFiles(), 4);
    EXPECT_EQ(Files.TotalSize(), 100 + 200 + 10 + 30);
    // A folder follows everything in it, so that its files go first.
    auto paths = DataPaths();
    for (size_t i = 0; i < paths.size(); ++i)
        for (size_t j = i + 1; j < paths.size(); ++j)
            EXPECT_FALSE(paths[i].ends_with(L"\\") && paths[j].starts_with(paths[i]))
                << Narrow(paths[i]) << " before " << Narrow(paths[j]);
    // The data folders found became program folders.
    EXPECT_THAT(FolderItems(), ::testing::ElementsAre(Machine.InstallA, Machine.RoamingA, Machine.LocalA));
    EXPECT_THAT(progressSeen, IsSupersetOf({0, 25, 50, 75}));
    EXPECT_EQ(*progressSeen.rbegin(), 75);
}

TEST_F(AppFilesScan, WithoutAnInstallLocationOnlyTheDataFoldersAreListed) {
    Folders.Add(L"");
    Scan(Machine.NameB);
    EXPECT_THAT(DataPaths(), UnorderedElementsAreArray({Machine.RoamingBFile, Machine.RoamingB}));
    EXPECT_FALSE(Lists(ProgramFilesFolder()));
}

TEST_F(AppFilesScan, ProgramFilesRecordedAsTheInstallFolderIsRefusedAndLogged) {
    const std::wstring programFiles = IncludeTrailingBackslash(ProgramFilesFolder());
    const auto logFrom = StatisticsFileEnd();
    // As the controller seeds the folders: the refused location is not a program folder.
    EXPECT_FALSE(AddProgramFolder(Folders, programFiles, Shared));
    EXPECT_EQ(Folders.Count(), 0u);
    // Seeded without the rule, the scanner still refuses it.
    Folders.Add(programFiles);
    Scan(Machine.NameA);
    EXPECT_FALSE(Lists(programFiles));
    EXPECT_THAT(DataPaths(), IsSupersetOf({Machine.RoamingA, Machine.LocalA}));
    EXPECT_THAT(
        StatisticsTextsSince(logFrom),
        IsSupersetOf(
            {L"Refused as a program folder (shared with other programs or Windows): " + programFiles,
             L"Install folder not scanned (shared with other programs or Windows): " + programFiles}));
}

TEST_F(AppFilesScan, APauseCheckThatAbortsEndsTheScan) {
    Folders.Add(Machine.InstallA);
    int checks = 0;
    EXPECT_THROW(Scan(Machine.NameA,
                      [&] {
                          if (++checks == 3)
                              throw EAbort();
                      }),
                 EAbort);
    EXPECT_EQ(checks, 3);
    EXPECT_LE(DataFiles.size(), 1u);
    EXPECT_EQ(Folders.Count(), 1u) << "no data folder was searched";
}

// With another program's shortcut in the own menu folder, that folder and its
// parents stay; the program's own shortcuts are listed either way.
TEST_F(ShortcutsScan, ListsTheProgramsShortcutsAndOwnMenuFoldersKeepsTheVendorFolderAndTheOthers) {
    for (bool neighbourInside : {false, true}) {
        SCOPED_TRACE(neighbourInside ? "B's shortcut in A's menu folder" : "A's menu folder A's alone");
        Shortcuts.Clear();
        Files.Clear();
        if (neighbourInside)
            WriteShortcut(OwnMenu + L"Tools\\B.lnk", Machine.BExe);
        std::set<int32_t> progressSeen;
        Scan([&] { progressSeen.insert(ShortcutScanner->GetProgress()); });

        EXPECT_THAT(ShortcutFiles(), UnorderedElementsAre(VendorMenuA, OwnMenuA, OwnMenuDeepA));
        for (size_t i = 0; i < Shortcuts.Count(); ++i) {
            const auto& shortcut = Shortcuts.GetItem(i);
            EXPECT_EQ(shortcut.Target(),
                      shortcut.ShortcutFile().Path() == OwnMenuDeepA ? Machine.ADll : Machine.AExe);
        }
        const auto listed = ListedPaths();
        for (const auto& kept : {VendorMenu, VendorMenuB, Programs, OwnMenu + L"Tools\\B.lnk"})
            EXPECT_THAT(listed, Not(Contains(kept))) << Narrow(kept);
        for (const auto& folder : {OwnMenu + L"Tools\\", OwnMenu, Suite})
            EXPECT_EQ(std::count(listed.begin(), listed.end(), folder), neighbourInside ? 0 : 1)
                << Narrow(folder);
        // Each folder after its content.
        if (!neighbourInside) {
            EXPECT_LT(std::find(listed.begin(), listed.end(), OwnMenu) - listed.begin(),
                      std::find(listed.begin(), listed.end(), Suite) - listed.begin());
        }
        EXPECT_THAT(progressSeen, IsSupersetOf({25, 50, 75}));
    }
}

TEST_F(ShortcutsScan, FailuresAndTerminationAreCaughtAndOnlyFailuresLogged) {
    const auto logFrom = StatisticsFileEnd();
    EXPECT_NO_THROW(Scan([] { throw EAbort(); }));
    EXPECT_NO_THROW(Scan([] { throw std::runtime_error("menu unreadable"); }));
    EXPECT_THAT(StatisticsTextsSince(logFrom), ::testing::ElementsAre(L"runtime_error: menu unreadable"));
    EXPECT_EQ(Shortcuts.Count(), 0u);
}
