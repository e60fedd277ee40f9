// The inventory while it watches the sample machine: VelmoraHelper.dll loaded
// as the front end loads it (LoadLibrary, DllGetInstance, the public
// interfaces and nothing else), a read started once and left running while
// programs come and go.
#include "tests/library/ProgramLookup.h"
#include "tests/TestBase.h"

namespace {

using namespace std::chrono_literals;
using velmora::TComPtr;
using velmora::testing::Info;
using velmora::testing::WaitUntil;

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kTrackerKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmoraTracker";
const wchar_t kTrackerFolder[] = L"C:\\Program Files\\Velmora Tracker";

// Bytes of every file below the folder.
int64_t FolderBytes(const std::wstring& folder) {
    int64_t total = 0;
    std::error_code error;
    for (auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        total += entry.is_regular_file() && !entry.is_symlink() ? static_cast<int64_t>(entry.file_size()) : 0;
    return total;
}

class InventoryWatch : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The tracker's installer records no size; a size written back by an
        // earlier run is taken away so that this read has to measure it.
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kTrackerKey, L"EstimatedSize");
        // The search starts in this test's folder, where the build puts the library.
        Library = LoadLibraryW(L"VelmoraHelper.dll");
        if (!Library)
            return;
        auto getInstance = reinterpret_cast<TDllGetInstance>(
            reinterpret_cast<void*>(GetProcAddress(Library, "DllGetInstance")));
        if (!getInstance || FAILED(getInstance(__uuidof(IVelmora), reinterpret_cast<void**>(&Root))))
            return;
        Root->Refresh();
        Loaded = WaitUntil([] { return Root->GetReadState() == TReadState::rsLoaded; }, 180s);
    }

    static void TearDownTestSuite() {
        if (Root) {
            Root->Stop();
            Root->Release();
            Root = nullptr;
        }
        // The library stays loaded: its threads may still be ending.
    }

    void SetUp() override {
        ASSERT_NE(Library, nullptr) << "VelmoraHelper.dll did not load";
        ASSERT_NE(Root, nullptr) << "DllGetInstance gave no root object";
        ASSERT_TRUE(Loaded) << "the read did not reach rsLoaded";
    }

    // The program named name; empty when absent.
    static TComPtr<IProduct> Program(const std::wstring& name) {
        TComPtr<IProductCollection> programs;
        Root->GetPrograms(programs.put());
        return programs ? velmora::testing::FindProgram(*programs, name) : nullptr;
    }

    static inline HMODULE Library = nullptr;
    static inline IVelmora* Root = nullptr;
    static inline bool Loaded = false;
};

TEST_F(InventoryWatch, MeasuresTheFolderOfAProgramThatRecordsNoSize) {
    int64_t folder = FolderBytes(kTrackerFolder);
    ASSERT_GT(folder, 0) << "the tracker is not installed";
    int64_t size = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            auto tracker = Program(L"Velmora Tracker");
            size = tracker ? _wtoi64(Info(tracker.get(), piEstimatedSize).c_str()) : -1;
            return size > 0;
        },
        60s))
        << "size still " << size;
    // Exact bytes from the measurement, or the kilobytes written back and read again.
    EXPECT_TRUE(size == folder || size == folder / 1024 * 1024) << size << " bytes, folder holds " << folder;
    // The measurement is written back to the program's uninstall entry.
    DWORD written = 0, bytes = sizeof written;
    EXPECT_TRUE(WaitUntil(
        [&] {
            bytes = sizeof written;
            return RegGetValueW(HKEY_LOCAL_MACHINE, kTrackerKey, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr,
                                &written, &bytes) == ERROR_SUCCESS;
        },
        10s));
    EXPECT_EQ(written, folder / 1024);
}

TEST_F(InventoryWatch, SeesAProgramInstalledAndRemovedWhileItWatches) {
    std::wstring name = L"Velmora Watch Probe " + std::to_wstring(GetCurrentProcessId());
    std::wstring path = std::wstring(kUninstall) + L"\\" + name;
    ASSERT_FALSE(Program(name));

    struct Cleanup {
        std::wstring Path;
        ~Cleanup() { RegDeleteKeyW(HKEY_CURRENT_USER, Path.c_str()); }
    } cleanup{path};
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"DisplayName", name}, {L"UninstallString", L"C:\\Windows\\notepad.exe"}};
    for (auto& [value, text] : values)
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), value, REG_SZ, text.c_str(),
                                  static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);

    // One poll a second, half a second to re-arm, a second before the re-read.
    EXPECT_TRUE(WaitUntil([&] { return bool(Program(name)); }, 15s)) << "the new program did not appear";

    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(WaitUntil([&] { return !Program(name); }, 15s)) << "the removed program is still listed";
}

} // namespace
