// Usage over records laid out in the prefix (names carry the process id): the
// sources over prefetch files and the programs that start with Windows; and
// the library's programs with the counts of their folders' launch counters
// and prefetch files.
#include "usage/AppUsage.h"

#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Volumes.h"
#include "tests/frame/LogTestKit.h"
#include "tests/kits/LibraryRoot.h"
#include "tests/kits/PrefetchWriter.h"
#include "tests/kits/ShortcutKit.h"
#include "tests/kits/UsageRecords.h"
#include "tests/TestBase.h"

#include <shlobj.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

// A launch-counter kind of this test's own, beside the shell's.
constexpr std::wstring_view TestKind = L"{7E1A9C40-5D3B-4F6E-9A21-0C0FFEE00017}";
constexpr std::wstring_view RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::wstring_view UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr std::wstring_view WindowsFolderId = L"{F38BF404-1D43-42F2-9305-67DE0B28FC23}";
// 2024-03-01 10:00 UTC and later times, as file times.
constexpr uint64_t March1 = 133537464000000000ULL;
constexpr uint64_t Day = 864000000000ULL;

class UsageSources : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::wstring& file : FFiles)
            DeleteFileW(file.c_str());
        DeleteKey(HKEY_CURRENT_USER, LaunchKindKey(TestKind), TRegView::x64);
        if (const TRegKey run = TRegKey::Open(HKEY_CURRENT_USER, RunKey, KEY_ALL_ACCESS))
            run.DeleteValue(FName);
        for (const std::wstring& name : FPrograms)
            DeleteKey(HKEY_CURRENT_USER, std::wstring(UninstallKey) + name);
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }

    // A file in the test's program folder (as upper case as the system
    // writes prefetch paths).
    std::wstring Program(const std::wstring& name) {
        const std::wstring path = FFolder + L"\\" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(std::filesystem::path(path)) << "x";
        return path;
    }
    // A program of the user's uninstall entries in a folder of its own,
    // which is answered with a trailing backslash.
    std::wstring AddProgram(const std::wstring& stem) {
        const std::wstring name = FName + L" " + stem, folder = FFolder + L"\\" + stem + L"\\";
        Program(stem + L"\\" + stem + L".exe");
        const TRegKey key =
            TRegKey::Create(HKEY_CURRENT_USER, std::wstring(UninstallKey) + name, KEY_ALL_ACCESS);
        key.WriteString(L"DisplayName", name);
        key.WriteString(L"InstallLocation", folder);
        key.WriteString(L"UninstallString", L"C:\\Windows\\notepad.exe");
        key.WriteNumber(L"EstimatedSize", 1);
        FPrograms.push_back(name);
        return folder;
    }
    void WritePrefetch(const std::wstring& stem, const std::vector<uint8_t>& bytes) {
        const std::wstring file = Format(L"%s\\Prefetch\\%s-%s.pf", WindowsFolder(), stem, FName);
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(std::filesystem::path(file), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        FFiles.push_back(file);
    }
    const std::wstring FName = Format(L"VelmoraUsage%d", static_cast<int>(GetCurrentProcessId()));
    const std::wstring FFolder = WindowsFolder() + L"\\" + FName;
    std::vector<std::wstring> FFiles, FPrograms;
};

// A plain file of any version and the compressed form (Windows 10's only); a
// volume without drive keeps its device path; bad files are logged.
TEST_F(UsageSources, PrefetchFilesGiveTheirProgramsOnDrivePathsAndBadFilesAreLoggedAndSkipped) {
    StatisticsLog::Instance().SetDirectWrite(true);
    const std::streamoff logStart = StatisticsFileEnd();
    const struct {
        uint32_t Version;
        std::wstring Exe;
        int32_t Runs;
        bool Compressed;
    } cases[] = {{17, Program(L"XP.EXE"), 3, false}, {30, Program(L"PACKED.EXE"), 13, true}};
    TPrefetchDescription file;
    for (size_t i = 0; i < std::size(cases); ++i) {
        file.Version = cases[i].Version;
        file.ExecutableName = ExtractFileName(cases[i].Exe);
        file.Volume.DevicePath = DevicePath(L"C:");
        file.Files = {DevicePath(WindowsFolder() + L"\\SYSTEM32\\NTDLL.DLL"), DevicePath(cases[i].Exe)};
        file.RunCount = cases[i].Runs;
        file.LastRuns = {March1 + i * Day, March1 - Day};
        const std::vector<uint8_t> image = WritePrefetchImage(file);
        WritePrefetch(file.ExecutableName, cases[i].Compressed ? CompressPrefetchImage(image) : image);
    }
    file.ExecutableName = L"AWAY.EXE";
    file.Volume.DevicePath = L"\\DEVICE\\HARDDISKVOLUME99";
    file.Files = {L"\\DEVICE\\HARDDISKVOLUME99\\AWAY\\AWAY.EXE"};
    WritePrefetch(L"AWAY.EXE", WritePrefetchImage(file));
    std::vector<uint8_t> newer = WritePrefetchImage(file);
    newer[0] = 31;
    WritePrefetch(L"FUTURE.EXE", newer);
    WritePrefetch(L"SHORT.EXE", std::vector<uint8_t>(newer.begin(), newer.begin() + 100));

    TUsageItems items;
    TPrefetch().Fill(items);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const TUsageItem* item = items.Find(cases[i].Exe);
        if (cases[i].Compressed && !IsWindows10OrLater()) {
            EXPECT_FALSE(item);
            continue;
        }
        ASSERT_TRUE(item) << Narrow(cases[i].Exe);
        EXPECT_EQ(item->FCounter, cases[i].Runs);
        EXPECT_NEAR(item->FLastUsed, UsageFileTimeToDate(March1 + i * Day), 1e-6);
        EXPECT_EQ(item->FFiles.size(), 2u);
    }
    EXPECT_TRUE(items.Find(L"\\DEVICE\\HARDDISKVOLUME99\\AWAY\\AWAY.EXE"));
    const std::vector<std::wstring> log = StatisticsTextsSince(logStart);
    EXPECT_TRUE(std::ranges::any_of(
        log, [](const std::wstring& line) { return line.find(L"AVersion: 31") != line.npos; }));
}

TEST_F(UsageSources, AProgramStartedByTheRunKeyAndTheStartupFolderCountsForBothAndTheSourcesMerge) {
    const std::wstring exe = Program(L"Starter.exe");
    ASSERT_TRUE(TRegKey::Create(HKEY_CURRENT_USER, RunKey, KEY_ALL_ACCESS)
                    .WriteString(FName, L"\"" + exe + L"\" /tray"));
    const std::wstring link = SpecialFolder(CSIDL_STARTUP) + L"\\" + FName + L".lnk";
    ASSERT_NO_FATAL_FAILURE(WriteShortcut(link, exe));
    FFiles.push_back(link);

    TUsageItems boot;
    TBootAssist().Fill(boot);
    const TUsageItem* started = boot.Find(exe);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->FCounter, 200);
    EXPECT_LT(started->FLastUsed, LocalNow()) << "the last start of Windows";
    EXPECT_GT(started->FLastUsed, LocalNow() - 30);

    // The sources' merge and a folder without records: the library case.
    TAppUsage usage;
    usage.Refresh();
    EXPECT_EQ(usage.CollectByFolder(FFolder + L"\\").Counter, 200);
}

// Through the library's interface: launch counters (of the shell's shortcuts
// too) and prefetch files give the programs of their folders counts and dates.
TEST_F(UsageSources, ProgramsGetTheCountsAndDatesOfTheirFoldersAndTheRarelyUsedListFollowsEachRead) {
    TLibraryRoot lib;
    ASSERT_NE(lib.Library->Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    auto program = [&](const std::wstring& folder) {
        return FindProduct(*lib.Programs, piInstallLocation, folder, [](const std::wstring& a, auto& b) {
            return SameText(IncludeTrailingBackslash(a), b);
        });
    };
    auto isUnused = [&](const std::wstring& folder) {
        TComPtr<IProduct> found = program(folder);
        return found &&
               FindProduct(*lib.Unused, piDisplayName, InfoText(*found, piDisplayName), std::equal_to<>());
    };
    auto launch = [&](const std::wstring& exe, int32_t runs, double lastUsed) {
        ASSERT_TRUE(WriteLaunchCounter(TestKind, exe, runs, LocalDateToFileTime(lastUsed)));
    };
    const double today = LocalNow();
    const std::wstring stale = AddProgram(L"Stale"), recent = AddProgram(L"Recent"),
                       steady = AddProgram(L"Steady"), busy = AddProgram(L"Busy"), late = AddProgram(L"Late");
    // A couple of hours' margin keeps the whole days clear of the zone's daylight saving.
    launch(stale + L"Stale.exe", 4, today - 183 - 2.0 / 24);
    // From Windows 7 on, names carry known-folder identifiers.
    launch(IsWindows7OrLater() ? std::wstring(WindowsFolderId) + L"\\" + FName + L"\\Recent\\Recent.exe"
                               : recent + L"Recent.exe",
           5, today - 182 + 2.0 / 24);
    // A shortcut's record counts for its target, the later date kept.
    const std::wstring link = FFolder + L"\\Links\\Steady.lnk";
    ASSERT_NO_FATAL_FAILURE(WriteShortcut(link, steady + L"Steady.exe"));
    launch(link, 6, today - 5);
    launch(steady + L"Steady.exe", 4, today - 8);
    launch(busy + L"Busy.exe", 6, today - 3);
    launch(busy + L"Tools\\Convert.exe", 1, today - 10);
    const std::wstring prefetch =
        WritePrefetchFile(busy + L"Busy.exe", 4, LocalDateToFileTime(today - 1), FName);
    ASSERT_FALSE(prefetch.empty());
    FFiles.push_back(prefetch);
    ASSERT_TRUE(lib.Read());

    struct TExpected {
        std::wstring Folder;
        TUsedType Type;
        double LastUsed;
        bool Unused;
    } expected[] = {{stale, TUsedType::utRarely, today - 183 - 2.0 / 24, true},
                    {recent, TUsedType::utOccasionaly, today - 182 + 2.0 / 24, false},
                    {steady, TUsedType::utOccasionaly, today - 5, false},
                    {busy, TUsedType::utFrequently, today - 1, false},
                    {late, TUsedType::utNone, 0, false}};
    for (const TExpected& c : expected) {
        TComPtr<IProduct> product = program(c.Folder);
        ASSERT_TRUE(product) << Narrow(c.Folder);
        EXPECT_EQ(InfoNumber(*product, piUsedType), static_cast<int32_t>(c.Type)) << Narrow(c.Folder);
        if (c.LastUsed == 0)
            EXPECT_LE(InfoDate(*product, piLastUsedDate).value_or(-1), 0) << Narrow(c.Folder);
        else
            EXPECT_NEAR(InfoDate(*product, piLastUsedDate).value_or(-1), c.LastUsed, 1.0 / 86400)
                << Narrow(c.Folder);
        EXPECT_EQ(isUnused(c.Folder), c.Unused) << Narrow(c.Folder);
    }

    // The next read sees the new records: a program used again leaves the
    // list, one whose only use lies long ago joins it.
    launch(stale + L"Stale.exe", 5, today - 1);
    launch(late + L"Late.exe", 1, today - 300);
    ASSERT_TRUE(lib.Read());
    EXPECT_FALSE(isUnused(stale));
    EXPECT_TRUE(isUnused(late));
    EXPECT_FALSE(isUnused(recent));
}

} // namespace
