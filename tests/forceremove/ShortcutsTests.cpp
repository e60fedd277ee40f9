// The shortcut scanner on a machine with two programs of one vendor: a
// vendor menu folder with both programs' shortcuts, a menu folder (in a
// suite folder of its own) with only A's, and a desktop shortcut of each.
#include "NoSharedDlls.h"
#include "TwoPrograms.h"

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

#include <set>
#include <stdexcept>

using namespace velmora;
using namespace velmora::testing;
using ::testing::Contains;
using ::testing::IsSupersetOf;
using ::testing::UnorderedElementsAre;

namespace {

class ShortcutsScan : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [link, target] : {std::pair{DesktopA, Machine.AExe},
                                           {DesktopB, Machine.BExe},
                                           {VendorMenuA, Machine.AExe},
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
        for (const auto& path : {VendorMenu, Suite, DesktopA, DesktopB})
            fs::remove_all(fs::path(path), ignored);
    }
    void Scan(TWorkflowCheck check = {}) {
        TFRShortcuts scanner(Folders, Files, Shortcuts, std::move(check));
        Scanner = &scanner;
        scanner.Run();
        Scanner = nullptr;
    }
    std::vector<std::wstring> ShortcutFiles() const {
        std::vector<std::wstring> paths;
        for (size_t i = 0; i < Shortcuts.Count(); ++i)
            paths.push_back(Shortcuts.GetItem(i).ShortcutFile().Path());
        return paths;
    }
    std::vector<std::wstring> ListedPaths() const {
        std::vector<std::wstring> paths;
        for (size_t i = 0; i < Files.Count(); ++i)
            paths.push_back(Files.GetItem(i).Path());
        return paths;
    }

    TTwoPrograms Machine;
    const std::wstring Programs = IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAMS));
    const std::wstring Desktop = IncludeTrailingBackslash(SpecialFolder(CSIDL_DESKTOPDIRECTORY));
    const std::wstring DesktopA = Desktop + Machine.NameA + L".lnk",
                       DesktopB = Desktop + Machine.NameB + L".lnk";
    // Both programs' shortcuts: the folder stays, and B's shortcut in it.
    const std::wstring VendorMenu = Programs + Machine.Vendor + L"\\";
    const std::wstring VendorMenuA = VendorMenu + L"A.lnk", VendorMenuB = VendorMenu + L"B.lnk";
    // Only A's shortcuts, in a suite folder that holds nothing else: both go whole.
    const std::wstring Suite = Programs + Machine.Vendor + L" Suite\\";
    const std::wstring OwnMenu = Suite + L"Alpha\\";
    const std::wstring OwnMenuA = OwnMenu + L"A.lnk", OwnMenuDeepA = OwnMenu + L"Tools\\A library.lnk";

    TFRSharedDlls SharedDlls{std::make_unique<TNoSharedDlls>()};
    TFRFileList Files{SharedDlls};
    TFRShortcutList Shortcuts;
    TAppFolders Folders{WindowsFolder()};
    TFRShortcuts* Scanner = nullptr;
};

} // namespace

TEST_F(ShortcutsScan, ListsTheProgramsShortcutsAndOwnMenuFoldersKeepsTheVendorFolderAndTheOthers) {
    std::set<int32_t> progressSeen;
    Scan([&] { progressSeen.insert(Scanner->GetProgress()); });

    EXPECT_THAT(ShortcutFiles(), UnorderedElementsAre(DesktopA, VendorMenuA, OwnMenuA, OwnMenuDeepA));
    for (size_t i = 0; i < Shortcuts.Count(); ++i) {
        const auto& shortcut = Shortcuts.GetItem(i);
        EXPECT_EQ(shortcut.Target(),
                  shortcut.ShortcutFile().Path() == OwnMenuDeepA ? Machine.ADll : Machine.AExe);
    }
    const auto listed = ListedPaths();
    EXPECT_THAT(listed, IsSupersetOf({OwnMenu + L"Tools\\", OwnMenu, Suite}));
    for (const auto& kept : {VendorMenu, VendorMenuB, DesktopB, Programs})
        EXPECT_THAT(listed, ::testing::Not(Contains(kept))) << Narrow(kept);
    // Each folder after its content.
    EXPECT_LT(std::find(listed.begin(), listed.end(), OwnMenu) - listed.begin(),
              std::find(listed.begin(), listed.end(), Suite) - listed.begin());
    EXPECT_THAT(progressSeen, IsSupersetOf({25, 50, 75}));
}

TEST_F(ShortcutsScan, AFolderHoldingAnotherProgramsShortcutStaysAndSoDoesItsParent) {
    WriteShortcut(OwnMenu + L"Tools\\B.lnk", Machine.BExe);
    Scan();
    EXPECT_THAT(ShortcutFiles(), UnorderedElementsAre(DesktopA, VendorMenuA, OwnMenuA, OwnMenuDeepA));
    const auto listed = ListedPaths();
    for (const auto& kept : {OwnMenu, OwnMenu + L"Tools\\", OwnMenu + L"Tools\\B.lnk", Suite})
        EXPECT_THAT(listed, ::testing::Not(Contains(kept))) << Narrow(kept);
}

TEST_F(ShortcutsScan, FailuresAndTerminationAreCaughtAndOnlyFailuresLogged) {
    const auto logFrom = StatisticsFileEnd();
    EXPECT_NO_THROW(Scan([] { throw EAbort(); }));
    EXPECT_NO_THROW(Scan([] { throw std::runtime_error("menu unreadable"); }));
    EXPECT_THAT(StatisticsTextsSince(logFrom), ::testing::ElementsAre(L"runtime_error: menu unreadable"));
    EXPECT_EQ(Shortcuts.Count(), 0u);
}

TEST_F(ShortcutsScan, ProgramFilesRecordedAsTheInstallFolderClaimsNoShortcut) {
    TAppFolders seeded(WindowsFolder());
    EXPECT_FALSE(AddProgramFolder(seeded, ProgramFilesFolder(), SystemSharedFolders()));
    TFRShortcuts(seeded, Files, Shortcuts, {}).Run();
    EXPECT_EQ(Shortcuts.Count(), 0u);
    EXPECT_EQ(Files.Count(), 0u);
}
