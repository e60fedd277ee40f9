// The engine against real packages: built with wixl, completed here with the
// rows wixl cannot write, installed with the prefix's msiexec and removed again
// when the suite ends.
#include "msi/MsiEngine.h"

#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <process.h>
#include <shlobj.h>

#include <set>
#include <thread>
#include <tuple>
#include <vector>

using namespace velmora;

namespace {

// Codes of these packages only: no other test sees them.
constexpr wchar_t TestCode[] = L"{264F2B8E-FEBF-4236-BB3F-95AC759B5287}";
constexpr wchar_t UnknownCode[] = L"{4F0C5D3A-7E21-4B9C-8D56-0A1B2C3D4E5F}";

std::wstring InstallDir() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\Velmora Engine Test\\";
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// msiexec with these arguments, waited for; its exit code.
intptr_t RunMsiexec(const wchar_t* action, const std::wstring& target) {
    for (int attempt = 0;; ++attempt) {
        intptr_t code = _wspawnlp(_P_WAIT, L"msiexec.exe", L"msiexec.exe", action,
                                  (L"\"" + target + L"\"").c_str(), L"/qn", nullptr);
        // Another test of this prefix installing at the same moment: its
        // transaction cannot be awaited from here, so try again shortly.
        if (code != ERROR_INSTALL_ALREADY_RUNNING || attempt == 240)
            return code;
        Sleep(500);
    }
}

// What wixl cannot express: short|long names and whole-key registry rows.
void CompletePackage(const std::wstring& path) {
    MSIHANDLE handle = 0;
    CheckMsi(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &handle), L"open package");
    unique_msihandle database(handle);
    for (auto sql : {
             L"UPDATE `File` SET `FileName` = 'ENGINE~1.TXT|Engine notes.txt' WHERE `File` = 'NotesFile'",
             L"UPDATE `Shortcut` SET `Name` = 'ENGINE~1|Engine notes shortcut'",
             L"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES "
             L"('RegWhole', 1, 'Software\\Velmora Engine Test\\Whole', '*', 'EngineFiles')",
             L"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES "
             L"('RegCreate', 1, 'Software\\Velmora Engine Test\\Created', '+', 'EngineFiles')",
             L"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES "
             L"('RegObsolete', 2, 'Software\\Velmora Engine Test\\Obsolete', '-', 'EngineFiles')",
         }) {
        CheckMsi(MsiDatabaseOpenViewW(database.get(), sql, &handle), sql);
        unique_msihandle view(handle);
        CheckMsi(MsiViewExecute(view.get(), 0), sql);
    }
    CheckMsi(MsiDatabaseCommit(database.get()), L"commit package");
}

void Uninstall(const wchar_t* code) {
    if (MsiQueryProductStateW(code) == INSTALLSTATE_DEFAULT)
        RunMsiexec(L"/x", code);
}

std::set<std::wstring> ReadFiles(TMsiFileEnumerator& files) {
    std::set<std::wstring> found;
    while (files.Next())
        found.insert(files.Current());
    return found;
}

// The message of the installer error the call throws.
template <class F> std::wstring ErrorOf(F&& call) {
    try {
        call();
    } catch (const EMsiError& e) {
        return e.Message();
    }
    return L"(no error)";
}

} // namespace

class MsiEngineTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Uninstall(TestCode);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        auto completed = Format(L"%sVelmoraEngineTest-%d.msi", temp, GetCurrentProcessId());
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
        // The "+" row's key stays by design: it was only to be created.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Velmora Engine Test");
        // Removed products leave the list; a holder keeps a usable object.
        engine.Refresh();
        EXPECT_FALSE(engine.ProductByGUID(TestCode));
        ASSERT_TRUE(held);
        EXPECT_EQ(held->InstalledProductName(), L"");
        EXPECT_THROW(held->OpenProduct(), EMsiError);
        TMsiEngine::FreeInstance();
    }

    void SetUp() override { ASSERT_TRUE(SetupError.empty()) << Narrow(SetupError); }

    // The product opened and costed, ready for its files.
    static std::shared_ptr<TMsiProduct> Product(const wchar_t* code, bool open = false) {
        auto& engine = TMsiEngine::Instance();
        engine.RefreshIfNeeded();
        auto product = engine.ProductByGUID(code);
        if (!product) { // installed after the list was read
            engine.Refresh();
            product = engine.ProductByGUID(code);
        }
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
    bool listed = false;
    for (int32_t i = 0; i < engine.Count(); ++i)
        listed = listed || SameText(engine.GetProduct(i)->Code(), TestCode);
    EXPECT_TRUE(listed);
    // Refresh reads the list anew and keeps the objects of products still installed.
    engine.Refresh();
    EXPECT_EQ(engine.ProductByGUID(TestCode), product);

    EXPECT_EQ(product->InstalledProductName(), L"Velmora Engine Test");
    EXPECT_TRUE(SameText(product->InstallLocation(), InstallDir()));
    auto package = product->LocalPackage();
    EXPECT_TRUE(EndsWithText(package, L".msi") && FileExists(package)) << Narrow(package);
}

TEST_F(MsiEngineTest, RegistryRowsGiveRootKeyAndValueOrTheWholeKey) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    auto rows = product->EnumRegKeys();
    EXPECT_FALSE(product->IsOpen()) << "registry rows need only the database";
    std::set<std::tuple<HKEY, std::wstring, std::wstring, bool>> found, expected;
    while (rows->Next())
        found.insert({rows->CurrentRoot(), rows->CurrentKey(), rows->CurrentValueName(), rows->Recursive()});
    const std::wstring key = L"Software\\Velmora Engine Test";
    // Neither the default value nor the "+" row, which only creates its key.
    expected = {
        {HKEY_LOCAL_MACHINE, key, L"InstallDir", false},
        {HKEY_CURRENT_USER, key, L"User", false},
        {HKEY_CURRENT_USER, key, L"Shortcut", false},
        {HKEY_USERS, L".DEFAULT\\" + key, L"Default", false},
        {HKEY_CLASSES_ROOT, L"VelmoraEngineTest.Document", L"FriendlyTypeName", false},
        {HKEY_LOCAL_MACHINE, key + L"\\PerUser", L"Mode", false}, // an unnamed root
        {HKEY_CURRENT_USER, key + L"\\Whole", L"", true},
        {HKEY_LOCAL_MACHINE, key + L"\\Obsolete", L"", true},
    };
    EXPECT_EQ(found, expected);
}

TEST_F(MsiEngineTest, FailuresCarryTheFailedStepAndTheInstallersError) {
    using testing::StartsWith;
    auto& engine = TMsiEngine::Instance();
    auto missing = engine.CreateProduct(UnknownCode);
    EXPECT_THAT(ErrorOf([&] { missing->OpenProduct(); }), StartsWith(L"Unable to open product\r\n: 1605"));
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_THAT(ErrorOf([&] { missing->EnumRegKeys(); }), StartsWith(L"Unable to open database\r\n"));
    // Costing needs the product opened first.
    EXPECT_THAT(ErrorOf([&] { engine.CreateProduct(TestCode)->CostFiles(); }),
                StartsWith(L"Unable to cost files\r\nError invalid handle: 6"));
    // This package has no Extension table: the query names a table that is not there.
    EXPECT_THAT(ErrorOf([&] { Product(TestCode)->EnumExtensions()->Next(); }),
                StartsWith(L"Unable to open view\r\nSQL query syntax invalid or unsupported: 1615"));
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

TEST_F(MsiEngineTest, FilesAndShortcutsResolveByLongNameAndAFreedEngineFailsHeldObjectsCleanly) {
    auto product = Product(TestCode, true);
    ASSERT_TRUE(product);
    auto shortcuts = product->EnumShortcuts();
    ASSERT_TRUE(shortcuts->Next());
    EXPECT_EQ(shortcuts->CurrentPath(), InstallDir() + L"Engine notes shortcut.lnk");
    EXPECT_TRUE(FileExists(shortcuts->CurrentPath()));
    EXPECT_FALSE(shortcuts->Next());
    auto files = product->EnumFiles();
    EXPECT_EQ(files->Count(), 3);
    ASSERT_TRUE(files->Next());
    // Closes every installer handle this thread created: none of the engine's.
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
    ASSERT_TRUE(files->Next());

    TMsiEngine::FreeInstance();
    EXPECT_EQ(ErrorOf([&] { files->Next(); }), L"Installer engine freed\r\nError invalid handle: 6");
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
