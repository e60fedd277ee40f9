// The program-files scanner on a machine with two programs of one vendor.
#include "NoSharedDlls.h"
#include "TwoPrograms.h"

#include "forceremove/AppFiles.h"
#include "forceremove/AppFolders.h"
#include "forceremove/FileList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/SharedFolders.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Thread.h"
#include "tests/frame/LogTestKit.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <set>

using namespace velmora;
using namespace velmora::testing;
using ::testing::IsSupersetOf;
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
    TFRSharedDlls SharedDlls{std::make_unique<TNoSharedDlls>()};
    TFRFileList Files{SharedDlls};
    std::vector<TFRFile*> DataFiles;
    TAppFolders Folders{WindowsFolder()};
    TFRAppFiles* Scanner = nullptr;
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
    ASSERT_NE(Files.FindFile(L"a.dll", 200), nullptr);
    EXPECT_EQ(Files.TotalFiles(), 4);
    EXPECT_EQ(Files.TotalSize(), 100 + 200 + 10 + 30);
    // Nothing of B, not through the link either; the upper-case data folder is not A's.
    EXPECT_FALSE(Lists(Machine.InstallB));
    EXPECT_FALSE(Lists(L"b.dat"));
    EXPECT_FALSE(Lists(Machine.NameB));
    EXPECT_FALSE(Lists(Machine.CommonOtherCaseA));
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
