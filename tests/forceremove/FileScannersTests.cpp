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

// A menu folder, in a suite folder of its own, with only A's shortcuts; the
// desktops and the Programs folders are read end to end.
class ShortcutsScan : public AppFilesScan {
protected:
    void SetUp() override {
        WriteShortcut(OwnMenuA, Machine.AExe);
        WriteShortcut(OwnMenuDeepA, Machine.ADll);
        // As after the program-files scan: the install folder and a data folder.
        Folders.Add(Machine.InstallA);
        Folders.Add(Machine.RoamingA);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(Suite, ignored);
    }
    void Scan(TWorkflowCheck check = {}) {
        TFRShortcuts scanner(Folders, Files, Shortcuts, std::move(check));
        ShortcutScanner = &scanner;
        scanner.Run();
        ShortcutScanner = nullptr;
    }

    const std::wstring Programs = IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAMS));
    const std::wstring Suite = Programs + Machine.Vendor + L" Suite\\";
    const std::wstring OwnMenu = Suite + L"Alpha\\";
    const std::wstring OwnMenuA = OwnMenu + L"A.lnk", OwnMenuDeepA = OwnMenu + L"Tools\\A library.lnk";
    TFRShortcutList Shortcuts;
    TFRShortcuts* ShortcutScanner = nullptr;
};

} // namespace

TEST_F(AppFilesScan, DataFoldersBecomeProgramFoldersWithTheProgressInQuartersAndNeedNoInstallLocation) {
    Folders.Add(Machine.InstallA);
    std::set<int32_t> progressSeen;
    Scan(Machine.NameA, [&] { progressSeen.insert(Scanner->GetProgress()); });

    // What it lists (A's files, its link once, its data folders, each folder
    // after its content, nothing of B) the end-to-end removal compares whole;
    // the data folders found became program folders.
    EXPECT_THAT(Texts(Folders), ::testing::ElementsAre(Machine.InstallA, Machine.RoamingA, Machine.LocalA));
    EXPECT_THAT(progressSeen, IsSupersetOf({0, 25, 50, 75}));
    EXPECT_EQ(*progressSeen.rbegin(), 75);

    // Without an install location only the data folders are listed.
    DataFiles.clear();
    TAppFolders none(WindowsFolder());
    none.Add(L"");
    TFRAppFiles(none, Files, {}, Machine.NameB, DataFiles, Shared).Run();
    EXPECT_THAT(DataPaths(), UnorderedElementsAreArray({Machine.RoamingBFile, Machine.RoamingB}));
}

// The real shared folders and a folder holding another registered program's
// install location are never a program's folder, each refusal logged; a
// folder below them may be one. Seeded without the rule, the scanner still
// refuses a shared install folder (such homes are also removed end to end).
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
    EXPECT_THAT(
        texts,
        IsSupersetOf({L"Refused as a program folder (not a full path): " + Machine.Vendor,
                      L"Refused as a program folder (shared with other programs or Windows): " + programFiles,
                      L"Install folder not scanned (shared with other programs or Windows): " + programFiles,
                      L"Refused as a program folder (holds another program): " + Machine.LocalA}));
}

// Only the program's shortcuts in its own menu folder: the folder goes whole,
// and the suite folder that holds nothing else; with anything else in it (a
// "desktop.ini"), that folder and its parents stay, and that entry. The
// shortcuts are listed either way. A vendor folder with another program's
// shortcut, a folder with an internet shortcut and Startup are shown end to end.
TEST_F(ShortcutsScan, AnOwnMenuFolderGoesWholeOnlyWhenNothingElseIsInIt) {
    for (const wchar_t* other : {L"", L"desktop.ini"}) {
        SCOPED_TRACE(*other ? Narrow(other) : "A's menu folder A's alone");
        Shortcuts.Clear();
        Files.Clear();
        const std::wstring otherEntry = OwnMenu + L"Tools\\" + other;
        if (*other)
            WriteFile(otherEntry, 50);
        std::set<int32_t> progressSeen;
        Scan([&] { progressSeen.insert(ShortcutScanner->GetProgress()); });

        EXPECT_THAT(
            Texts(Shortcuts,
                  [](const TFRShortcut& s) { return s.ShortcutFile().Path() + L" -> " + s.Target(); }),
            UnorderedElementsAre(OwnMenuA + L" -> " + Machine.AExe, OwnMenuDeepA + L" -> " + Machine.ADll));
        const auto listed = Texts(Files, &TFRFile::Path);
        for (const auto& kept : {Programs, OwnMenu + L"Tools\\desktop.ini"})
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
