// The usage sources over records laid out in the prefix: prefetch files of
// every version, launch counters in the layout of the running Windows, and
// the programs that start with Windows. Names carry the process id; all is
// removed again.
#include "usage/AppUsage.h"

#include "platform/Format.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Volumes.h"
#include "tests/frame/LogTestKit.h"
#include "tests/kits/PrefetchWriter.h"
#include "tests/kits/ShortcutKit.h"
#include "tests/kits/UsageRecords.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace velmora;
using namespace velmora::testing;

namespace {

// A launch-counter kind of this test's own, beside the shell's.
constexpr std::wstring_view TestKind = L"{7E1A9C40-5D3B-4F6E-9A21-0C0FFEE00017}";
constexpr std::wstring_view RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::wstring_view WindowsFolderId = L"{F38BF404-1D43-42F2-9305-67DE0B28FC23}";
// 2024-03-01 10:00 UTC and later times, as file times.
constexpr uint64_t March1 = 133537464000000000ULL;
constexpr uint64_t Day = 864000000000ULL;

void WriteFile(const std::wstring& file, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(std::filesystem::path(file), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class UsageSources : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::wstring& file : FFiles)
            DeleteFileW(file.c_str());
        DeleteKey(HKEY_CURRENT_USER, LaunchKindKey(TestKind), TRegView::x64);
        if (const TRegKey run = TRegKey::Open(HKEY_CURRENT_USER, RunKey, KEY_ALL_ACCESS))
            run.DeleteValue(FName);
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }

    // A file in the test's program folder (as upper case as the system
    // writes prefetch paths).
    std::wstring Program(const std::wstring& name) {
        std::filesystem::create_directories(FFolder);
        const std::wstring path = FFolder + L"\\" + name;
        std::ofstream(std::filesystem::path(path)) << "x";
        return path;
    }
    void WritePrefetch(const std::wstring& stem, const std::vector<uint8_t>& bytes) {
        const std::wstring file = Format(L"%s\\Prefetch\\%s-%s.pf", WindowsFolder(), stem, FName);
        WriteFile(file, bytes);
        FFiles.push_back(file);
    }
    const std::wstring FName = Format(L"VelmoraUsage%d", static_cast<int>(GetCurrentProcessId()));
    const std::wstring FFolder = WindowsFolder() + L"\\" + FName;
    std::vector<std::wstring> FFiles;
};

TEST_F(UsageSources, PrefetchFilesOfEveryVersionGiveTheirProgramsOnDrivePathsAndBadFilesAreLoggedAndSkipped) {
    StatisticsLog::Instance().SetDirectWrite(true);
    const std::streamoff logStart = StatisticsFileEnd();
    struct TCase {
        uint32_t Version;
        std::wstring Exe;
        int32_t Runs;
        bool Compressed;
    } cases[] = {{17, Program(L"XP.EXE"), 3, false},
                 {23, Program(L"SEVEN.EXE"), 7, false},
                 {26, Program(L"EIGHT.EXE"), 9, false},
                 {30, Program(L"TEN.EXE"), 11, false},
                 {30, Program(L"PACKED.EXE"), 13, true}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        TPrefetchDescription file;
        file.Version = cases[i].Version;
        file.ExecutableName = ExtractFileName(cases[i].Exe);
        file.Volume.DevicePath = DevicePath(L"C:");
        file.Files = {DevicePath(WindowsFolder() + L"\\SYSTEM32\\NTDLL.DLL"), DevicePath(cases[i].Exe)};
        file.RunCount = cases[i].Runs;
        file.LastRuns = {March1 + i * Day, March1 - Day};
        const std::vector<uint8_t> image = WritePrefetchImage(file);
        WritePrefetch(file.ExecutableName, cases[i].Compressed ? CompressPrefetchImage(image) : image);
    }
    TPrefetchDescription unmapped;
    unmapped.ExecutableName = L"AWAY.EXE";
    unmapped.Volume.DevicePath = L"\\DEVICE\\HARDDISKVOLUME99";
    unmapped.Files = {L"\\DEVICE\\HARDDISKVOLUME99\\AWAY\\AWAY.EXE"};
    WritePrefetch(L"AWAY.EXE", WritePrefetchImage(unmapped));
    TPrefetchDescription future = unmapped;
    future.ExecutableName = L"FUTURE.EXE";
    std::vector<uint8_t> newer = WritePrefetchImage(future);
    newer[0] = 31;
    WritePrefetch(L"FUTURE.EXE", newer);
    WritePrefetch(L"SHORT.EXE", std::vector<uint8_t>(newer.begin(), newer.begin() + 100));

    TUsageItems items;
    TPrefetch().Fill(items);

    for (size_t i = 0; i < std::size(cases); ++i) {
        const TUsageItem* item = items.Find(cases[i].Exe);
        if (cases[i].Compressed && !IsWindows10OrLater()) {
            EXPECT_FALSE(item) << "the compressed form is Windows 10's only";
            continue;
        }
        ASSERT_TRUE(item) << Narrow(cases[i].Exe);
        EXPECT_EQ(item->FCounter, cases[i].Runs);
        EXPECT_NEAR(item->FLastUsed, UsageFileTimeToDate(March1 + i * Day), 1e-6);
        EXPECT_EQ(item->FFiles.size(), 2u);
    }
    EXPECT_TRUE(items.Find(L"\\DEVICE\\HARDDISKVOLUME99\\AWAY\\AWAY.EXE"))
        << "a volume without drive keeps its device path";
    const std::vector<std::wstring> log = StatisticsTextsSince(logStart);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::wstring& line) {
        return line.find(L"AVersion: 31") != std::wstring::npos;
    }));
}

TEST_F(UsageSources, LaunchCountersGiveTheirProgramsAndShortcutRecordsMoveToTheirTargets) {
    const std::wstring exe = Program(L"Counted.exe"), linked = Program(L"Linked.exe");
    const std::wstring link = FFolder + L"\\Links\\Linked.lnk";
    ASSERT_NO_FATAL_FAILURE(WriteShortcut(link, linked));
    ASSERT_TRUE(WriteLaunchCounter(TestKind, linked, 2, March1 - Day));
    ASSERT_TRUE(WriteLaunchCounter(TestKind, link, 3, March1 + Day));
    const TRegKey count =
        TRegKey::Open(HKEY_CURRENT_USER, LaunchKindKey(TestKind) + L"\\Count", KEY_ALL_ACCESS, TRegView::x64);
    if (IsWindows7OrLater()) {
        // Names carry known-folder identifiers.
        ASSERT_TRUE(WriteLaunchCounter(
            TestKind, std::wstring(WindowsFolderId) + L"\\" + FName + L"\\Counted.exe", 6, March1));
    } else {
        // The prefix test ignores letter case.
        std::vector<uint8_t> data(16, 0);
        data[4] = 6;
        std::memcpy(data.data() + 8, &March1, sizeof March1);
        ASSERT_TRUE(count.WriteBinary(Rot13(L"ueme_runpath:" + exe), data.data(), data.size()));
    }
    // A record of another size.
    const std::vector<uint8_t> odd(IsWindows7OrLater() ? 76 : 20, 1);
    const std::wstring oddName = (IsWindows7OrLater() ? L"" : L"UEME_RUNPATH:") + FFolder + L"\\Odd.exe";
    ASSERT_TRUE(count.WriteBinary(Rot13(oddName), odd.data(), odd.size()));

    TUsageItems items;
    TUserAssist().Fill(items);

    const TUsageItem* item = items.Find(exe);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->FCounter, 6);
    EXPECT_NEAR(item->FLastUsed, UsageFileTimeToDate(March1), 1e-6);
    const TUsageItem* target = items.Find(linked);
    ASSERT_TRUE(target);
    EXPECT_EQ(target->FCounter, 5) << "the shortcut's runs count for its target";
    EXPECT_NEAR(target->FLastUsed, UsageFileTimeToDate(March1 + Day), 1e-6);
    EXPECT_FALSE(items.Find(link));
    EXPECT_FALSE(items.Find(FFolder + L"\\Odd.exe")) << "a value of another size";
}

TEST_F(UsageSources, AProgramStartedByTheRunKeyAndTheStartupFolderCountsForBothAndAllSourcesMerge) {
    const std::wstring exe = Program(L"Starter.exe");
    ASSERT_TRUE(TRegKey::Create(HKEY_CURRENT_USER, RunKey, KEY_ALL_ACCESS)
                    .WriteString(FName, L"\"" + exe + L"\" /tray"));
    const std::wstring link = SpecialFolder(CSIDL_STARTUP) + L"\\" + FName + L".lnk";
    ASSERT_NO_FATAL_FAILURE(WriteShortcut(link, exe));
    FFiles.push_back(link);
    // The prefetch source knows the same program in upper case.
    TPrefetchDescription file;
    file.Version = 23;
    file.ExecutableName = L"STARTER.EXE";
    file.Volume.DevicePath = DevicePath(L"C:");
    file.Files = {DevicePath(exe)};
    file.RunCount = 4;
    file.LastRuns = {March1};
    WritePrefetch(L"STARTER.EXE", WritePrefetchImage(file));

    TUsageItems boot;
    TBootAssist().Fill(boot);
    const TUsageItem* started = boot.Find(exe);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->FCounter, 200);
    EXPECT_LT(started->FLastUsed, LocalNow()) << "the last start of Windows";
    EXPECT_GT(started->FLastUsed, LocalNow() - 30);

    TAppUsage usage;
    usage.Refresh();
    const TUsageData folder = usage.CollectByFolder(FFolder + L"\\");
    EXPECT_EQ(folder.Counter, 204);
    EXPECT_NEAR(folder.LastUsed, started->FLastUsed, 1.0 / 86400);
    EXPECT_EQ(usage.CollectByFolder(FFolder + L"\\None\\").Counter, -1);
}

} // namespace
