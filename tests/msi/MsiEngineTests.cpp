// The engine against real packages: built with wixl, completed here with the
// rows wixl cannot write, installed with the prefix's msiexec and removed again
// when the suite ends.
#include "msi/MsiEngine.h"
#include "tests/msi/MsiTestKit.h"

#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "tests/TestBase.h"

#include <gmock/gmock.h>

#include <mutex>

using namespace velmora;
using velmora::testing::RunMsiexec;
using velmora::testing::Uninstall;

namespace {

// Codes of these packages only: no other test sees them.
constexpr wchar_t TestCode[] = L"{264F2B8E-FEBF-4236-BB3F-95AC759B5287}";
constexpr wchar_t UnknownCode[] = L"{4F0C5D3A-7E21-4B9C-8D56-0A1B2C3D4E5F}";

std::wstring InstallDir() {
    return ProgramFilesFolder() + L"\\Velmora Engine Test\\";
}

// What wixl cannot express: a short|long file name.
void CompletePackage(const std::wstring& path) {
    MSIHANDLE handle = 0;
    CheckMsi(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &handle), L"open package");
    unique_msihandle database(handle);
    auto sql = L"UPDATE `File` SET `FileName` = 'ENGINE~1.TXT|Engine notes.txt' WHERE `File` = 'NotesFile'";
    CheckMsi(MsiDatabaseOpenViewW(database.get(), sql, &handle), sql);
    unique_msihandle view(handle);
    CheckMsi(MsiViewExecute(view.get(), 0), sql);
    CheckMsi(MsiDatabaseCommit(database.get()), L"commit package");
}

std::set<std::wstring> ReadFiles(TMsiFileEnumerator& files) {
    std::set<std::wstring> found;
    while (files.Next())
        found.insert(files.Current());
    return found;
}

// "key|value" per registry row.
std::vector<std::wstring> ReadRegistryRows(TMsiRegKeyEnumerator& rows) {
    std::vector<std::wstring> found;
    while (rows.Next())
        found.push_back(rows.CurrentKey() + L"|" + rows.CurrentValueName());
    return found;
}

} // namespace

class MsiEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Uninstall(TestCode);
        auto completed = Format(L"%s\\VelmoraEngineTest-%d.msi", TempFolder(), GetCurrentProcessId());
        try {
            if (!CopyFileW((ThisModuleFolder() + L"VelmoraEngineTest.msi").c_str(), completed.c_str(), FALSE))
                SetupError = L"VelmoraEngineTest.msi missing next to the test";
            else {
                CompletePackage(completed);
                if (intptr_t code = RunMsiexec(L"/i", completed))
                    SetupError = Format(L"msiexec /i %s answered %d", completed, code);
            }
        } catch (const EMsiError& e) {
            SetupError = L"Completing the package failed: " + e.Message();
        }
        DeleteFileW(completed.c_str());
    }

    static void TearDownTestSuite() {
        auto& engine = TMsiEngine::Instance();
        engine.RefreshIfNeeded();
        auto held = engine.ProductByGUID(TestCode);
        Uninstall(TestCode);
        // Removed products leave the list; a holder keeps a usable object.
        engine.Refresh();
        EXPECT_FALSE(engine.ProductByGUID(TestCode));
        ASSERT_TRUE(held);
        EXPECT_EQ(held->InstalledProductName(), L"");
        EXPECT_THROW(held->OpenProduct(), EMsiError);
        TMsiEngine::FreeInstance();
    }

    void SetUp() override { ASSERT_TRUE(SetupError.empty()) << Narrow(SetupError); }

    // The product, listed or installed since the list was read (as the
    // suite's is); when asked, opened and costed, ready for its files.
    static std::shared_ptr<TMsiProduct> Product(const wchar_t* code, bool open = false) {
        auto product = TMsiEngine::Instance().FindProduct(code);
        if (product && open) {
            product->OpenProduct();
            product->CostFiles();
        }
        return product;
    }

    static inline std::wstring SetupError;
};

TEST_F(MsiEngineTest, ListsInstalledProductsAndReadsTheirProperties) {
    auto& engine = TMsiEngine::Instance();
    engine.Refresh();
    auto product = engine.ProductByGUID(LowerCase(TestCode));
    ASSERT_TRUE(product);
    EXPECT_FALSE(engine.ProductByGUID(UnknownCode));
    // A product that does not exist and a bad query (this package has no
    // Extension table) fail with the installer's error and the failed step.
    auto fails = [](auto call, const char* message) {
        EXPECT_THAT(call, ::testing::ThrowsMessage<EMsiError>(::testing::StartsWith(message)));
    };
    fails([&] { engine.CreateProduct(UnknownCode)->OpenProduct(); }, "Unable to open product\r\n: 1605");
    fails([&] { Product(TestCode)->EnumExtensions()->Next(); },
          "Unable to open view\r\nSQL query syntax invalid or unsupported: 1615");
    // Refresh reads the list anew and keeps the objects of products still installed.
    engine.Refresh();
    EXPECT_EQ(engine.ProductByGUID(TestCode), product);

    EXPECT_EQ(product->InstalledProductName(), L"Velmora Engine Test");
    EXPECT_TRUE(SameText(product->InstallLocation(), InstallDir()));
    auto package = product->LocalPackage();
    EXPECT_TRUE(EndsWithText(package, L".msi") && FileExists(package)) << Narrow(package);
}

TEST_F(MsiEngineTest, ThreadsShareTheEngineWhileTheListIsReRead) {
    std::vector<std::thread> workers;
    std::vector<std::wstring> results(5);
    for (size_t i = 0; i < results.size(); ++i)
        workers.emplace_back([&, i] {
            try {
                for (int n = 0; i == 4 && n < 10; ++n)
                    TMsiEngine::Instance().Refresh();
                auto product = Product(TestCode, true);
                results[i] =
                    product ? Format(L"%d files", ReadFiles(*product->EnumFiles()).size()) : L"not listed";
            } catch (const EMsiError& e) {
                results[i] = e.Message();
            }
        });
    for (auto& worker : workers)
        worker.join();
    EXPECT_EQ(results, std::vector<std::wstring>(5, L"3 files"));
}

TEST_F(MsiEngineTest, FilesResolveByLongNameAndAFreedEngineFailsHeldObjectsCleanly) {
    auto product = Product(TestCode, true);
    ASSERT_TRUE(product);
    auto files = product->EnumFiles();
    EXPECT_EQ(files->Count(), 3);
    ASSERT_TRUE(files->Next());
    // Closes every installer handle this thread created: none of the engine's.
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
    ASSERT_TRUE(files->Next());

    TMsiEngine::FreeInstance();
    EXPECT_THAT([&] { files->Next(); }, ::testing::ThrowsMessage<EMsiError>(::testing::StrEq(
                                            "Installer engine freed\r\nError invalid handle: 6")));
    files.reset();
    product.reset();
    auto again = Product(TestCode, true);
    ASSERT_TRUE(again);
    EXPECT_EQ(ReadFiles(*again->EnumFiles()),
              (std::set<std::wstring>{InstallDir() + L"Engine notes.txt", InstallDir() + L"plain.txt",
                                      InstallDir() + L"Data\\settings.ini"}));
    again->CloseProduct();
    EXPECT_FALSE(again->IsOpen());
}

// The cached package is opened read-only. Where the installer refuses a
// second open of an open product's package (Wine keeps it open for writing),
// the open product is read through its installer session, with the same rows;
// the refusal is reported once.
TEST_F(MsiEngineTest, PackagesAreReadReadOnlyAndThroughTheSessionOnlyWhereRefused) {
    TMsiEngine::FreeInstance(); // reported once per engine: start with a new one
    std::mutex lock;
    std::vector<std::wstring> notices;
    TMsiEngine::SetNoticeSink([&](const std::wstring& text) {
        std::lock_guard guard(lock);
        notices.push_back(text);
    });
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    const auto rows = ReadRegistryRows(*product->EnumRegKeys());
    EXPECT_FALSE(rows.empty()) << "a closed product's package";

    product->OpenProduct();
    product->CostFiles();
    const std::wstring package = product->LocalPackage();
    MSIHANDLE probe = 0;
    const bool refused = MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &probe) != ERROR_SUCCESS;
    if (probe)
        MsiCloseHandle(probe);
    EXPECT_EQ(ReadRegistryRows(*product->EnumRegKeys()), rows);
    EXPECT_EQ(ReadFiles(*product->EnumFiles()).size(), 3u);
    product->CloseProduct(); // the suite's removal needs the package
    TMsiEngine::SetNoticeSink(nullptr);
    EXPECT_EQ(notices.size(), refused ? 1u : 0u) << "refused: " << refused;
    if (refused && !notices.empty()) {
        EXPECT_NE(notices[0].find(package), std::wstring::npos) << Narrow(notices[0]);
    }
}
