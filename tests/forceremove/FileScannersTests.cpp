// The program-files and shortcut scanners on a machine with two programs of one vendor.
#include "FakeRegistry.h"
#include "MachineKit.h"

#include "forceremove/AppFiles.h"
#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
#include "forceremove/ShortcutList.h"
#include "forceremove/Shortcuts.h"
#include "platform/PathText.h"
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

    TTwoPrograms Machine;
    const TSharedFolders Shared = SystemSharedFolders();
    TFRSharedDlls SharedDlls{SystemSharedDllCounts()};
    TFRFileList Files{SharedDlls};
    std::vector<TFRFile*> DataFiles;
    TAppFolders Folders{WindowsFolder()};
    TFRAppFiles* Scanner = nullptr;
};

// A vendor menu folder with both programs' shortcuts, a menu folder (in a
// suite folder of its own) with only A's and A's shortcut in the Startup
// folder; the desktops are read end to end.
class ShortcutsScan : public AppFilesScan {
protected:
    void SetUp() override {
        for (const auto& [link, target] : {std::pair{VendorMenuA, Machine.AExe},
                                           {VendorMenuB, Machine.BExe},
                                           {OwnMenuA, Machine.AExe},
                                           {OwnMenuDeepA, Machine.ADll},
                                           {StartupA, Machine.AExe}})
            WriteShortcut(link, target);
        // As after the program-files scan: the install folder and a data folder.
        Folders.Add(Machine.InstallA);
        Folders.Add(Machine.RoamingA);
    }
    void TearDown() override {
        std::error_code ignored;
        for (const auto& path : {VendorMenu, Suite, StartupA})
            std::filesystem::remove_all(path, ignored);
    }
    void Scan(TWorkflowCheck check = {}) {
        TFRShortcuts scanner(Folders, Files, Shortcuts, std::move(check));
        ShortcutScanner = &scanner;
        scanner.Run();
        ShortcutScanner = nullptr;
    }

    const std::wstring Programs = IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAMS));
    // Both programs' shortcuts: the folder stays, and B's shortcut in it.
    const std::wstring VendorMenu = Programs + Machine.Vendor + L"\\";
    const std::wstring VendorMenuA = VendorMenu + L"A.lnk", VendorMenuB = VendorMenu + L"B.lnk";
    // Only A's shortcuts, in a suite folder that holds nothing else: both go whole.
    const std::wstring Suite = Programs + Machine.Vendor + L" Suite\\";
    const std::wstring OwnMenu = Suite + L"Alpha\\";
    const std::wstring OwnMenuA = OwnMenu + L"A.lnk", OwnMenuDeepA = OwnMenu + L"Tools\\A library.lnk";
    // Only A's shortcut, yet the folder belongs to Windows: it stays.
    const std::wstring Startup = IncludeTrailingBackslash(SpecialFolder(CSIDL_STARTUP));
    const std::wstring StartupA = Startup + Machine.NameA + L".lnk";
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
    EXPECT_THAT(Texts(Folders), ::testing::ElementsAre(Machine.InstallA, Machine.RoamingA, Machine.LocalA));
    EXPECT_THAT(progressSeen, IsSupersetOf({0, 25, 50, 75}));
    EXPECT_EQ(*progressSeen.rbegin(), 75);
}

TEST_F(AppFilesScan, WithoutAnInstallLocationOnlyTheDataFoldersAreListed) {
    Folders.Add(L"");
    Scan(Machine.NameB);
    EXPECT_THAT(DataPaths(), UnorderedElementsAreArray({Machine.RoamingBFile, Machine.RoamingB}));
}

// The real shared folders (program files, the user's shell and temporary
// folders, common files and a vendor folder in it) and a folder holding
// another registered program's install location are never a program's
// folder, each refusal logged; a folder below them may be one. Seeded without
// the rule, the scanner still refuses a shared install folder. Programs
// recorded at program files, the vendor's folder or a relative path are
// removed end to end.
TEST_F(AppFilesScan, SharedFoldersAndFoldersHoldingAnotherProgramAreNeverTheProgramsAndAreLogged) {
    const std::wstring programFiles = IncludeTrailingBackslash(ProgramFilesFolder());
    const std::wstring local = LocalAppDataFolder(), appData = ExtractFileDir(local);
    const std::wstring commonFiles = IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAM_FILES_COMMON));
    const std::wstring downloads = KnownFolderPath(L"{374DE290-123F-4565-9164-39C4925E467B}")
                                       .value_or(SpecialFolder(CSIDL_PROFILE) + L"\\Downloads");
    const std::vector<std::wstring> refused = {
        // Program files, and a location that is no full path.
        programFiles, Machine.Vendor,
        // The user's shell and temporary folders.
        SpecialFolder(CSIDL_DESKTOPDIRECTORY), SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY),
        SpecialFolder(CSIDL_PERSONAL), downloads, appData, AppDataFolder(), local, appData + L"\\LocalLow",
        local + L"\\Programs\\", TempFolder(),
        // Common files and a vendor folder in it.
        commonFiles, commonFiles + Machine.Vendor};
    // A third program installed in A's local data folder.
    const TUninstallEntry gamma(Machine.Vendor + L" Gamma", Machine.LocalA + L"Gamma", Machine.Vendor);
    const auto logFrom = StatisticsFileEnd();
    TAppFolders seeded(WindowsFolder());
    for (const auto& folder : refused)
        EXPECT_FALSE(AddProgramFolder(seeded, folder, Shared)) << Narrow(folder);
    EXPECT_TRUE(AddProgramFolder(seeded, commonFiles + Machine.Vendor + L"\\A", Shared));
    TAppFolders folders(WindowsFolder(), OtherInstallLocations({}));
    folders.Add(programFiles);
    TFRAppFiles(folders, Files, {}, Machine.NameA, DataFiles, Shared).Run();
    EXPECT_THAT(DataPaths(), UnorderedElementsAreArray({Machine.RoamingAFile, Machine.RoamingA}));
    const auto texts = StatisticsTextsSince(logFrom);
    EXPECT_EQ(
        std::count_if(texts.begin(), texts.end(),
                      [](const auto& text) { return text.starts_with(L"Refused as a program folder ("); }),
        static_cast<std::ptrdiff_t>(refused.size() + 1));
    EXPECT_THAT(
        texts,
        IsSupersetOf({L"Refused as a program folder (not a full path): " + Machine.Vendor,
                      L"Refused as a program folder (shared with other programs or Windows): " + programFiles,
                      L"Install folder not scanned (shared with other programs or Windows): " + programFiles,
                      L"Refused as a program folder (holds another program): " + Machine.LocalA}));
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

// With anything but the program's shortcuts in the own menu folder (another
// program's shortcut, an internet shortcut, a "desktop.ini"), that folder and
// its parents stay, and that entry; the program's own shortcuts are listed
// either way, also the one in Startup, which stays.
TEST_F(ShortcutsScan, ListsTheProgramsShortcutsAndOwnMenuFoldersKeepsTheVendorFolderStartupAndTheOthers) {
    for (const wchar_t* other : {L"", L"B.lnk", L"Alpha site.url", L"desktop.ini"}) {
        SCOPED_TRACE(*other ? Narrow(other) : "A's menu folder A's alone");
        Shortcuts.Clear();
        Files.Clear();
        const std::wstring otherEntry = OwnMenu + L"Tools\\" + other;
        if (std::wstring_view(other) == L"B.lnk")
            WriteShortcut(otherEntry, Machine.BExe);
        else if (*other)
            WriteFile(otherEntry, 50);
        std::set<int32_t> progressSeen;
        Scan([&] { progressSeen.insert(ShortcutScanner->GetProgress()); });

        EXPECT_THAT(Texts(Shortcuts, [](const TFRShortcut& s) { return s.ShortcutFile().Path(); }),
                    UnorderedElementsAre(VendorMenuA, OwnMenuA, OwnMenuDeepA, StartupA));
        for (size_t i = 0; i < Shortcuts.Count(); ++i) {
            const auto& shortcut = Shortcuts.GetItem(i);
            EXPECT_EQ(shortcut.Target(),
                      shortcut.ShortcutFile().Path() == OwnMenuDeepA ? Machine.ADll : Machine.AExe);
        }
        const auto listed = Texts(Files, &TFRFile::Path);
        for (const auto& kept : {VendorMenu, VendorMenuB, Programs, Startup, OwnMenu + L"Tools\\B.lnk",
                                 OwnMenu + L"Tools\\Alpha site.url", OwnMenu + L"Tools\\desktop.ini"})
            EXPECT_THAT(listed, Not(Contains(kept))) << Narrow(kept);
        for (const auto& folder : {OwnMenu + L"Tools\\", OwnMenu, Suite})
            EXPECT_EQ(std::count(listed.begin(), listed.end(), folder), *other ? 0 : 1) << Narrow(folder);
        // Each folder after its content.
        if (!*other) {
            EXPECT_LT(std::find(listed.begin(), listed.end(), OwnMenu) - listed.begin(),
                      std::find(listed.begin(), listed.end(), Suite) - listed.begin());
        }
        EXPECT_THAT(progressSeen, IsSupersetOf({25, 50, 75}));
        if (*other)
            std::filesystem::remove(otherEntry);
    }
}

TEST_F(ShortcutsScan, FailuresAndTerminationAreCaughtAndOnlyFailuresLogged) {
    const auto logFrom = StatisticsFileEnd();
    EXPECT_NO_THROW(Scan([] { throw EAbort(); }));
    EXPECT_NO_THROW(Scan([] { throw std::runtime_error("menu unreadable"); }));
    EXPECT_THAT(StatisticsTextsSince(logFrom), ::testing::ElementsAre(L"runtime_error: menu unreadable"));
    EXPECT_EQ(Shortcuts.Count(), 0u);
}
