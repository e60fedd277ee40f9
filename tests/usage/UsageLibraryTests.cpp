// Usage through the library's interface: programs of the user's uninstall
// entries get the counts and dates of the launch counters and prefetch
// files laid out under their folders, and the rarely used list follows the
// dates at each read. Names carry the process id; all is removed again.
#include "tests/library/LibraryHarness.h"
#include "tests/kits/UsageRecords.h"

#include "platform/ComText.h"
#include "platform/Format.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"

#include <oleauto.h>

#include <filesystem>
#include <fstream>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr auto ReadLimit = std::chrono::seconds(90);
constexpr std::wstring_view UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// A launch-counter kind of this test's own, beside the shell's.
constexpr std::wstring_view TestKind = L"{7E1A9C40-5D3B-4F6E-9A21-0C0FFEE00016}";

std::wstring Text(IProduct& product, TProductInfo index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_BSTR ? BstrText(V_BSTR(&value.get())) : std::wstring();
}

double Date(IProduct& product, TProductInfo index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_DATE ? V_DATE(&value.get()) : -1;
}

int32_t Number(IProduct& product, TProductInfo index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_I4 ? V_I4(&value.get()) : -100;
}

std::vector<std::wstring> Names(IProductCollection& collection) {
    std::vector<std::wstring> names;
    collection.Lock();
    for (int32_t i = 0, n = collection.GetCount(); i < n; ++i) {
        TComPtr<IProduct> product;
        collection.GetItem(i, product.put());
        if (product)
            names.push_back(Text(*product, piDisplayName));
    }
    collection.Unlock();
    return names;
}

// Programs of the user's uninstall entries, each with its own folder under
// one folder of the test.
class UsageLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Library->Module(), nullptr) << "VelmoraHelper.dll not found beside the test";
    }
    void TearDown() override {
        if (Root)
            Root->Stop();
        Programs.reset();
        Unused.reset();
        Root.reset();
        Library.reset();
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

    // A root whose full read has ended, with its programs and rarely used programs.
    void Read() {
        if (!Root) {
            Root = Library->NewRoot();
            ASSERT_TRUE(Root);
            Root->GetPrograms(Programs.put());
            Root->GetUnusedPrograms(Unused.put());
            ASSERT_TRUE(Programs && Unused);
        }
        Root->Refresh();
        ASSERT_TRUE(WaitUntil([&] { return Root->GetReadState() == TReadState::rsLoaded; }, ReadLimit));
    }

    TComPtr<IProduct> Program(const std::wstring& folder) {
        TComPtr<IProduct> found;
        Programs->Lock();
        for (int32_t i = 0, n = Programs->GetCount(); i < n && !found; ++i) {
            TComPtr<IProduct> product;
            Programs->GetItem(i, product.put());
            if (product && SameText(IncludeTrailingBackslash(Text(*product, piInstallLocation)), folder))
                found = product;
        }
        Programs->Unlock();
        return found;
    }

    bool IsUnused(const std::wstring& folder) {
        TComPtr<IProduct> program = Program(folder);
        if (!program)
            return false;
        const std::wstring name = Text(*program, piDisplayName);
        for (const std::wstring& unused : Names(*Unused))
            if (unused == name)
                return true;
        return false;
    }

    const std::wstring FRoot =
        Format(L"%s\\VelmoraUsage%d", ProgramFilesFolder(), static_cast<int>(GetCurrentProcessId()));
    std::vector<std::wstring> FPrograms, FPrefetchFiles;
    std::optional<TLoadedLibrary> Library{std::in_place};
    TComPtr<IVelmora> Root;
    TComPtr<IProductCollection> Programs, Unused;
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
        EXPECT_EQ(Number(*product, piUsedType), static_cast<int32_t>(program.Type)) << Narrow(program.Folder);
        if (program.LastUsed == 0)
            EXPECT_LE(Date(*product, piLastUsedDate), 0) << Narrow(program.Folder);
        else
            EXPECT_NEAR(Date(*product, piLastUsedDate), program.LastUsed, 1.0 / 86400)
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
