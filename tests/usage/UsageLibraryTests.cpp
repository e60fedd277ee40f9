// Usage through the library's interface: programs of the user's uninstall
// entries get the counts and dates of the launch counters and prefetch
// files laid out under their folders, and the rarely used list follows the
// dates at each read. Names carry the process id; all is removed again.
#include "tests/kits/LibraryRoot.h"
#include "tests/kits/UsageRecords.h"

#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <filesystem>
#include <fstream>
#include <functional>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr std::wstring_view UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// A launch-counter kind of this test's own, beside the shell's.
constexpr std::wstring_view TestKind = L"{7E1A9C40-5D3B-4F6E-9A21-0C0FFEE00016}";

// Programs of the user's uninstall entries, each with its own folder under
// one folder of the test.
class UsageLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Lib.Library->Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    }
    void TearDown() override {
        Lib.Release();
        Lib.Library.reset();
        for (const std::wstring& name : FPrograms)
            DeleteKey(HKEY_CURRENT_USER, std::wstring(UninstallKey) + name);
        DeleteKey(HKEY_CURRENT_USER, LaunchKindKey(TestKind), TRegView::x64);
        for (const std::wstring& file : FPrefetchFiles)
            DeleteFileW(file.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(FRoot, ignored);
    }

    // Registers a program; answers its folder with a trailing backslash.
    std::wstring AddProgram(const std::wstring& stem) {
        const std::wstring name =
            Format(L"Velmora Usage %s %d", stem, static_cast<int>(GetCurrentProcessId()));
        const std::wstring folder = FRoot + L"\\" + stem + L"\\";
        std::filesystem::create_directories(folder);
        std::ofstream(std::filesystem::path(folder + stem + L".exe")) << "x";
        const TRegKey key =
            TRegKey::Create(HKEY_CURRENT_USER, std::wstring(UninstallKey) + name, KEY_ALL_ACCESS);
        key.WriteString(L"DisplayName", name);
        key.WriteString(L"InstallLocation", folder);
        key.WriteString(L"UninstallString", L"C:\\Windows\\notepad.exe");
        key.WriteNumber(L"EstimatedSize", 1);
        FPrograms.push_back(name);
        return folder;
    }

    void WriteLaunch(const std::wstring& program, int32_t runs, double lastUsed) {
        ASSERT_TRUE(WriteLaunchCounter(TestKind, program, runs, LocalDateToFileTime(lastUsed)));
    }
    void WritePrefetch(const std::wstring& program, int32_t runs, double lastRun) {
        const std::wstring file = WritePrefetchFile(program, runs, LocalDateToFileTime(lastRun),
                                                    std::to_wstring(GetCurrentProcessId()));
        ASSERT_FALSE(file.empty());
        FPrefetchFiles.push_back(file);
    }

    void Read() { ASSERT_TRUE(Lib.Read()); }
    TComPtr<IProduct> Program(const std::wstring& folder) {
        return FindProduct(*Lib.Programs, piInstallLocation, folder, [](const std::wstring& a, auto& b) {
            return SameText(IncludeTrailingBackslash(a), b);
        });
    }
    bool IsUnused(const std::wstring& folder) {
        TComPtr<IProduct> program = Program(folder);
        return program &&
               FindProduct(*Lib.Unused, piDisplayName, InfoText(*program, piDisplayName), std::equal_to<>());
    }

    const std::wstring FRoot =
        Format(L"%s\\VelmoraUsage%d", ProgramFilesFolder(), static_cast<int>(GetCurrentProcessId()));
    std::vector<std::wstring> FPrograms, FPrefetchFiles;
    TLibraryRoot Lib;
};

TEST_F(UsageLibrary, ProgramsGetTheCountsAndDatesOfTheirFoldersAndTheRarelyUsedListFollowsEachRead) {
    const double today = LocalNow();
    const std::wstring stale = AddProgram(L"Stale"), recent = AddProgram(L"Recent"),
                       steady = AddProgram(L"Steady"), busy = AddProgram(L"Busy"), idle = AddProgram(L"Idle"),
                       late = AddProgram(L"Late");
    // A couple of hours' margin keeps the whole days clear of the zone's daylight saving.
    WriteLaunch(stale + L"Stale.exe", 4, today - 183 - 2.0 / 24);
    WriteLaunch(recent + L"Recent.exe", 5, today - 182 + 2.0 / 24);
    WriteLaunch(steady + L"Steady.exe", 10, today - 5);
    WriteLaunch(busy + L"Busy.exe", 6, today - 3);
    WriteLaunch(busy + L"Tools\\Convert.exe", 1, today - 10);
    ASSERT_NO_FATAL_FAILURE(WritePrefetch(busy + L"Busy.exe", 4, today - 1));
    ASSERT_NO_FATAL_FAILURE(Read());

    struct TExpected {
        std::wstring Folder;
        TUsedType Type;
        double LastUsed;
        bool Unused;
    } expected[] = {{stale, TUsedType::utRarely, today - 183 - 2.0 / 24, true},
                    {recent, TUsedType::utOccasionaly, today - 182 + 2.0 / 24, false},
                    {steady, TUsedType::utOccasionaly, today - 5, false},
                    {busy, TUsedType::utFrequently, today - 1, false},
                    {idle, TUsedType::utNone, 0, false}};
    for (const TExpected& program : expected) {
        TComPtr<IProduct> product = Program(program.Folder);
        ASSERT_TRUE(product) << Narrow(program.Folder);
        EXPECT_EQ(InfoNumber(*product, piUsedType), static_cast<int32_t>(program.Type))
            << Narrow(program.Folder);
        if (program.LastUsed == 0)
            EXPECT_LE(InfoDate(*product, piLastUsedDate).value_or(-1), 0) << Narrow(program.Folder);
        else
            EXPECT_NEAR(InfoDate(*product, piLastUsedDate).value_or(-1), program.LastUsed, 1.0 / 86400)
                << Narrow(program.Folder);
        EXPECT_EQ(IsUnused(program.Folder), program.Unused) << Narrow(program.Folder);
    }

    EXPECT_FALSE(IsUnused(late));

    // The next read sees the new records: a program used again leaves the
    // list, one whose only use lies long ago joins it.
    WriteLaunch(stale + L"Stale.exe", 5, today - 1);
    WriteLaunch(late + L"Late.exe", 1, today - 300);
    ASSERT_NO_FATAL_FAILURE(Read());
    EXPECT_FALSE(IsUnused(stale));
    EXPECT_TRUE(IsUnused(late));
    EXPECT_FALSE(IsUnused(recent));
}

} // namespace
