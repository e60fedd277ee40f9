// The engine against real packages: built with wixl, completed here with the
// rows wixl cannot write, installed with the prefix's msiexec and removed again
// when the suite ends.
#include "msi/MsiEngine.h"

#include "platform/Format.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <set>
#include <thread>
#include <tuple>
#include <vector>

using namespace velmora;

namespace {

// Codes of these packages only: no other test sees them.
constexpr wchar_t TestCode[] = L"{264F2B8E-FEBF-4236-BB3F-95AC759B5287}";
constexpr wchar_t MinimalCode[] = L"{1C583F16-2608-4E29-89B5-9EF32B09E126}";
constexpr wchar_t UnknownCode[] = L"{4F0C5D3A-7E21-4B9C-8D56-0A1B2C3D4E5F}";

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\";
}

std::wstring InstallDir() {
    return KnownFolder(CSIDL_PROGRAM_FILES) + L"Velmora Engine Test\\";
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring ToText(std::string_view utf8) {
    return std::wstring(utf8.begin(), utf8.end());
}

// msiexec with these arguments, waited for; its exit code.
DWORD RunMsiexec(const std::wstring& arguments) {
    for (int attempt = 0;; ++attempt) {
        std::wstring command = L"msiexec.exe " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info))
            return GetLastError();
        unique_handle process(info.hProcess);
        unique_handle thread(info.hThread);
        if (WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0)
            return WAIT_TIMEOUT;
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        // Another test of this prefix installing at the same moment: its
        // transaction cannot be awaited from here, so try again shortly.
        if (code != ERROR_INSTALL_ALREADY_RUNNING || attempt == 240)
            return code;
        Sleep(500);
    }
}

void Execute(MSIHANDLE database, const wchar_t* sql, MSIHANDLE parameters = 0) {
    MSIHANDLE handle = 0;
    CheckMsi(MsiDatabaseOpenViewW(database, sql, &handle), sql);
    unique_msihandle view(handle);
    CheckMsi(MsiViewExecute(view.get(), parameters), sql);
}

unique_msihandle Record(std::initializer_list<const wchar_t*> fields) {
    unique_msihandle record(MsiCreateRecord(static_cast<UINT>(fields.size())));
    UINT index = 1;
    for (auto field : fields) {
        if (field) // a null pointer leaves the field null
            MsiRecordSetStringW(record.get(), index, field);
        ++index;
    }
    return record;
}

// What wixl cannot express: short|long names, whole-key registry rows and an
// Extension table.
void CompletePackage(const std::wstring& path) {
    MSIHANDLE handle = 0;
    CheckMsi(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &handle), L"open package");
    unique_msihandle database(handle);
    Execute(database.get(),
            L"UPDATE `File` SET `FileName` = 'ENGINE~1.TXT|Engine notes.txt' WHERE `File` = 'NotesFile'");
    Execute(database.get(), L"UPDATE `Shortcut` SET `Name` = 'ENGINE~1|Engine notes shortcut' WHERE "
                            L"`Shortcut` = 'NotesShortcut'");

    const wchar_t* registryRows[][4] = {
        {L"RegWhole", L"1", L"Software\\Velmora Engine Test\\Whole", L"*"},
        {L"RegCreate", L"1", L"Software\\Velmora Engine Test\\Created", L"+"},
        {L"RegObsolete", L"2", L"Software\\Velmora Engine Test\\Obsolete", L"-"},
    };
    for (auto& row : registryRows) {
        auto record = Record({row[0], nullptr, row[2], row[3], L"EngineFiles"});
        MsiRecordSetInteger(record.get(), 2, _wtoi(row[1]));
        Execute(database.get(),
                L"INSERT INTO `Registry` (`Registry`, `Root`, `Key`, `Name`, `Component_`) VALUES (?, ?, ?, "
                L"?, ?)",
                record.get());
    }

    Execute(database.get(),
            L"CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) NOT "
            L"NULL, `ProgId_` CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL PRIMARY "
            L"KEY `Extension`, `Component_`)");
    for (auto& row : {Record({L"vetest", L"EngineFiles", L"VelmoraEngineTest.Document",
                              L"application/x-velmora-engine-test", L"Complete"}),
                      Record({L"vetestb", L"EngineFiles", nullptr, nullptr, L"Complete"})})
        Execute(database.get(),
                L"INSERT INTO `Extension` (`Extension`, `Component_`, `ProgId_`, `MIME_`, `Feature_`) VALUES "
                L"(?, ?, "
                L"?, ?, ?)",
                row.get());
    CheckMsi(MsiDatabaseCommit(database.get()), L"commit package");
}

void Uninstall(const wchar_t* code) {
    if (MsiQueryProductStateW(code) == INSTALLSTATE_DEFAULT)
        RunMsiexec(Format(L"/x %s /qn", code));
}

void Install(const std::wstring& package, std::wstring& error) {
    DWORD code = RunMsiexec(Format(L"/i \"%s\" /qn", package));
    if (code != 0)
        error += Format(L"msiexec /i %s answered %d. ", package, code);
}

using TRegistryRow = std::tuple<HKEY, std::wstring, std::wstring, bool>;

std::set<std::wstring> ReadFiles(TMsiFileEnumerator& files) {
    std::set<std::wstring> found;
    while (files.Next())
        found.insert(files.Current());
    return found;
}

} // namespace

class MsiEngineTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        SetupError.clear();
        Uninstall(TestCode);
        Uninstall(MinimalCode);
        auto folder = ThisModuleFolder();
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        auto completed = Format(L"%sVelmoraEngineTest-%d.msi", temp, GetCurrentProcessId());
        if (!CopyFileW((folder + L"VelmoraEngineTest.msi").c_str(), completed.c_str(), FALSE)) {
            SetupError = L"VelmoraEngineTest.msi missing next to the test";
            return;
        }
        try {
            CompletePackage(completed);
        } catch (const EMsiError& e) {
            SetupError = L"Completing the package failed: " + e.Message();
        }
        if (SetupError.empty())
            Install(completed, SetupError);
        DeleteFileW(completed.c_str());
        Install(folder + L"VelmoraEngineMinimal.msi", SetupError);
    }

    static void TearDownTestSuite() {
        auto& engine = TMsiEngine::Instance();
        engine.RefreshIfNeeded();
        auto held = engine.ProductByGUID(MinimalCode);
        Uninstall(TestCode);
        Uninstall(MinimalCode);
        // The "+" row's key stays by design: it was only to be created.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Velmora Engine Test");
        // Removed products leave the list; a holder keeps a usable object.
        engine.Refresh();
        EXPECT_FALSE(engine.ProductByGUID(TestCode));
        EXPECT_FALSE(engine.ProductByGUID(MinimalCode));
        ASSERT_TRUE(held);
        EXPECT_EQ(held->InstalledProductName(), L"");
        EXPECT_THROW(held->OpenProduct(), EMsiError);
        TMsiEngine::FreeInstance();
    }

    void SetUp() override { ASSERT_TRUE(SetupError.empty()) << Narrow(SetupError); }

    static std::shared_ptr<TMsiProduct> Product(const wchar_t* code) {
        auto& engine = TMsiEngine::Instance();
        engine.RefreshIfNeeded();
        auto product = engine.ProductByGUID(code);
        if (!product) { // installed after the list was read
            engine.Refresh();
            product = engine.ProductByGUID(code);
        }
        return product;
    }

    static inline std::wstring SetupError;
};

TEST_F(MsiEngineTest, ListsInstalledProductsWhateverTheLetterCaseAsked) {
    auto& engine = TMsiEngine::Instance();
    engine.Refresh();
    auto product = engine.ProductByGUID(TestCode);
    ASSERT_TRUE(product);
    EXPECT_TRUE(SameText(product->Code(), TestCode));
    EXPECT_EQ(engine.ProductByGUID(LowerCase(TestCode)), product);
    EXPECT_TRUE(engine.ProductByGUID(MinimalCode));
    EXPECT_FALSE(engine.ProductByGUID(UnknownCode));

    std::set<std::wstring> listed;
    for (int32_t i = 0; i < engine.Count(); ++i)
        listed.insert(UpperCase(engine.GetProduct(i)->Code()));
    EXPECT_TRUE(listed.count(TestCode));
    EXPECT_TRUE(listed.count(MinimalCode));
    EXPECT_FALSE(engine.GetProduct(-1));
    EXPECT_FALSE(engine.GetProduct(engine.Count()));

    // A filled list is kept; Refresh reads it anew and keeps the objects of
    // products still installed.
    auto count = engine.Count();
    engine.RefreshIfNeeded();
    engine.Refresh();
    EXPECT_EQ(engine.Count(), count);
    EXPECT_EQ(engine.ProductByGUID(TestCode), product);
}

TEST_F(MsiEngineTest, ReadsInstallLocationNameAndCachedPackage) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    EXPECT_EQ(product->InstalledProductName(), L"Velmora Engine Test");
    EXPECT_TRUE(SameText(product->InstallLocation(), InstallDir()));
    auto package = product->LocalPackage();
    EXPECT_TRUE(EndsWithText(package, L".msi")) << Narrow(package);
    EXPECT_TRUE(FileExists(package)) << Narrow(package);
    EXPECT_FALSE(ContainsText(package, L"VelmoraEngineTest")) << "the installer's cached copy";
    EXPECT_EQ(product->GetProperty(L"NoSuchProperty"), L"");

    auto minimal = Product(MinimalCode);
    ASSERT_TRUE(minimal);
    EXPECT_EQ(minimal->InstalledProductName(), L"Velmora Engine Minimal");
    EXPECT_EQ(minimal->InstallLocation(), L"");
    EXPECT_NE(minimal->LocalPackage(), package);
}

TEST_F(MsiEngineTest, FilesResolveToTheirInstalledPathsByLongName) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    product->OpenProduct();
    EXPECT_TRUE(product->IsOpen());
    product->CostFiles();
    auto files = product->EnumFiles();
    EXPECT_EQ(files->Count(), 3);
    auto found = ReadFiles(*files);
    std::set<std::wstring> expected = {InstallDir() + L"Engine notes.txt", InstallDir() + L"plain.txt",
                                       InstallDir() + L"Data\\settings.ini"};
    EXPECT_EQ(found, expected);
    for (auto& path : found)
        EXPECT_TRUE(FileExists(path)) << Narrow(path);
    EXPECT_EQ(files->Count(), 3);
    EXPECT_FALSE(files->Next()) << "stays at the end";
    product->CloseProduct();
    EXPECT_FALSE(product->IsOpen());
}

TEST_F(MsiEngineTest, RegistryRowsGiveRootKeyAndValueOrTheWholeKey) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    product->CloseProduct();
    auto rows = product->EnumRegKeys();
    EXPECT_FALSE(product->IsOpen()) << "registry rows need only the database";
    std::set<TRegistryRow> found;
    while (rows->Next())
        found.insert({rows->CurrentRoot(), rows->CurrentKey(), rows->CurrentValueName(), rows->Recursive()});
    const std::wstring key = L"Software\\Velmora Engine Test";
    // Neither the default value nor the "+" row, which only creates its key.
    std::set<TRegistryRow> expected = {
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
    // The value rows name what the installer wrote.
    for (auto& [root, path, name, recursive] : found) {
        if (!recursive && root != HKEY_LOCAL_MACHINE) {
            EXPECT_EQ(RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr),
                      ERROR_SUCCESS)
                << Narrow(path) << " " << Narrow(name);
        }
    }
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"InstallDir", RRF_RT_REG_SZ, nullptr, nullptr,
                           nullptr),
              ERROR_SUCCESS);
}

TEST_F(MsiEngineTest, ShortcutsResolveToTheirLinkFile) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    product->OpenProduct();
    product->CostFiles();
    auto shortcuts = product->EnumShortcuts();
    ASSERT_TRUE(shortcuts->Next());
    auto path = shortcuts->CurrentPath();
    EXPECT_EQ(path, InstallDir() + L"Engine notes shortcut.lnk");
    EXPECT_TRUE(FileExists(path)) << Narrow(path);
    EXPECT_FALSE(shortcuts->Next());
    product->CloseProduct();
}

TEST_F(MsiEngineTest, ExtensionsComeWithTheirProgIDAndMimeType) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    auto extensions = product->EnumExtensions();
    std::set<std::tuple<std::wstring, std::wstring, std::wstring>> found;
    while (extensions->Next())
        found.insert(
            {extensions->CurrentExtension(), extensions->CurrentProgID(), extensions->CurrentMime()});
    decltype(found) expected = {
        {L"vetest", L"VelmoraEngineTest.Document", L"application/x-velmora-engine-test"},
        {L"vetestb", L"", L""}};
    EXPECT_EQ(found, expected);
    product->CloseProduct();
}

TEST_F(MsiEngineTest, UpgradeCodesComeOnceEachInPackedForm) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    auto upgrades = product->EnumUpgrades();
    std::vector<std::wstring> found;
    while (upgrades->Next())
        found.push_back(upgrades->CurrentCode());
    std::sort(found.begin(), found.end());
    // {0129291E-3E57-4F54-9F4A-E3A7DC6B3C22} (listed twice) and {C0C8CF90-5D78-4785-808C-54C9E00DF45A}.
    EXPECT_EQ(found, (std::vector<std::wstring>{L"09FC8C0C87D5587408C8459C0ED04FA5",
                                                L"E192921075E345F4F9A43E7ACDB6C322"}));
    // The installer files the product's own upgrade code under the same form.
    unique_hkey key;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Installer\\UpgradeCodes\\E192921075E345F4F9A43E7ACDB6C322",
                            0, KEY_READ, key.put()),
              ERROR_SUCCESS);
    product->CloseProduct();
}

TEST_F(MsiEngineTest, FailuresCarryTheFailedStepAndTheInstallersError) {
    auto& engine = TMsiEngine::Instance();
    auto missing = engine.CreateProduct(UnknownCode);
    try {
        missing->OpenProduct();
        FAIL() << "opened a product that does not exist";
    } catch (const EMsiError& e) {
        EXPECT_EQ(e.Message(), L"Unable to open product\r\n: 1605");
    }
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_EQ(missing->InstallLocation(), L"");
    try {
        missing->EnumRegKeys();
        FAIL() << "opened the package of a product that does not exist";
    } catch (const EMsiError& e) {
        EXPECT_TRUE(e.Message().starts_with(L"Unable to open database\r\n")) << e.what();
    }

    // Costing needs the product opened first.
    auto unopened = engine.CreateProduct(TestCode);
    try {
        unopened->CostFiles();
        FAIL() << "costed without a product handle";
    } catch (const EMsiError& e) {
        EXPECT_EQ(e.Message(), L"Unable to cost files\r\nError invalid handle: 6");
    }

    // A package without an Extension table: the query names a table that is not there.
    auto minimal = Product(MinimalCode);
    ASSERT_TRUE(minimal);
    auto extensions = minimal->EnumExtensions();
    try {
        extensions->Next();
        FAIL() << "queried a missing table";
    } catch (const EMsiError& e) {
        EXPECT_EQ(e.Message(), L"Unable to open view\r\nSQL query syntax invalid or unsupported: 1615");
        EXPECT_EQ(ToText(e.what()), e.Message());
    }
    // Its empty tables simply have no rows.
    EXPECT_FALSE(minimal->EnumShortcuts()->Next());
    EXPECT_FALSE(minimal->EnumUpgrades()->Next());
    EXPECT_FALSE(minimal->EnumRegKeys()->Next());
    minimal->CloseProduct();
}

TEST_F(MsiEngineTest, HandlesBelongToTheEngineThreadNotTheCaller) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    product->OpenProduct();
    product->CostFiles();
    auto files = product->EnumFiles();
    ASSERT_TRUE(files->Next());
    std::set<std::wstring> found = {files->Current()};
    // Closes every installer handle this thread created: none of the engine's.
    EXPECT_EQ(MsiCloseAllHandles(), 0u);
    while (files->Next())
        found.insert(files->Current());
    EXPECT_EQ(found.size(), 3u);
    product->CloseProduct();
}

TEST_F(MsiEngineTest, ThreadsShareTheEngineWhileTheListIsReRead) {
    std::vector<std::thread> workers;
    std::vector<std::set<std::wstring>> results(4);
    std::vector<std::wstring> errors(5);
    for (size_t i = 0; i < results.size(); ++i)
        workers.emplace_back([&, i] {
            try {
                auto product = Product(TestCode);
                if (!product)
                    throw EMsiError(L"not listed", 0);
                product->OpenProduct();
                product->CostFiles();
                results[i] = ReadFiles(*product->EnumFiles());
            } catch (const EMsiError& e) {
                errors[i] = e.Message();
            }
        });
    workers.emplace_back([&] {
        try {
            for (int i = 0; i < 10; ++i)
                TMsiEngine::Instance().Refresh();
        } catch (const EMsiError& e) {
            errors[4] = e.Message();
        }
    });
    for (auto& worker : workers)
        worker.join();
    for (auto& error : errors)
        EXPECT_EQ(error, L"");
    for (auto& result : results)
        EXPECT_EQ(result.size(), 3u);
}

TEST_F(MsiEngineTest, AFreedEngineFailsHeldObjectsCleanlyAndStartsAnew) {
    auto product = Product(TestCode);
    ASSERT_TRUE(product);
    product->OpenProduct();
    product->CostFiles();
    auto files = product->EnumFiles();
    ASSERT_TRUE(files->Next());

    TMsiEngine::FreeInstance();
    try {
        files->Next();
        FAIL() << "used a handle of a freed engine";
    } catch (const EMsiError& e) {
        EXPECT_EQ(e.Message(), L"Installer engine freed\r\nError invalid handle: 6");
    }
    files.reset();
    product.reset();

    auto again = Product(TestCode);
    ASSERT_TRUE(again);
    again->OpenProduct();
    again->CostFiles();
    EXPECT_EQ(ReadFiles(*again->EnumFiles()).size(), 3u);
    again->CloseProduct();
}
