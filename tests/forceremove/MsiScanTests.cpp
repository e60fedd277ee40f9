// The installer-data scanner against a package built with wixl, completed
// here with the file type wixl cannot write, and installed with the prefix's
// msiexec for the suite.
#include "forceremove/FileList.h"
#include "forceremove/Msi.h"
#include "forceremove/RegList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/ShortcutList.h"
#include "tests/msi/MsiTestKit.h"

#include "msi/MsiEngine.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <gmock/gmock.h>
#include <shlobj.h>

using namespace velmora;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using velmora::testing::RunMsiexec;
using velmora::testing::Uninstall;

namespace {

constexpr wchar_t ProductCode[] = L"{6A1D3C52-9B47-4E0F-8C21-5D7E9F0A1B34}";
constexpr wchar_t UnknownCode[] = L"{9C4E1A7B-2D5F-4B8C-A3E6-0F1D2C3B4A59}";

std::wstring InstallDir() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\Velmora Scan Test\\";
}

void RunSql(MSIHANDLE database, const wchar_t* sql) {
    MSIHANDLE handle = 0;
    CheckMsi(MsiDatabaseOpenViewW(database, sql, &handle), sql);
    unique_msihandle view(handle);
    CheckMsi(MsiViewExecute(view.get(), 0), sql);
}

// The extension ".vscan" of the ProgID "VelmoraScanTest.Document".
void AddFileType(const std::wstring& path) {
    MSIHANDLE handle = 0;
    CheckMsi(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &handle), L"open package");
    unique_msihandle database(handle);
    RunSql(database.get(), L"CREATE TABLE `ProgId` (`ProgId` CHAR(255) NOT NULL, `ProgId_Parent` CHAR(255), "
                           L"`Class_` CHAR(38), `Description` CHAR(255), `Icon_` CHAR(72), `IconIndex` SHORT "
                           L"PRIMARY KEY `ProgId`)");
    RunSql(database.get(), L"INSERT INTO `ProgId` (`ProgId`, `Description`) "
                           L"VALUES ('VelmoraScanTest.Document', 'Scan test document')");
    RunSql(database.get(), L"CREATE TABLE `Extension` (`Extension` CHAR(255) NOT NULL, `Component_` CHAR(72) "
                           L"NOT NULL, `ProgId_` CHAR(255), `MIME_` CHAR(64), `Feature_` CHAR(38) NOT NULL "
                           L"PRIMARY KEY `Extension`, `Component_`)");
    RunSql(database.get(), L"INSERT INTO `Extension` (`Extension`, `Component_`, `ProgId_`, `Feature_`) "
                           L"VALUES ('vscan', 'ScanFiles', 'VelmoraScanTest.Document', 'Complete')");
    CheckMsi(MsiDatabaseCommit(database.get()), L"commit package");
}

class MsiScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Uninstall(ProductCode);
        auto completed =
            Format(L"%sVelmoraScanTest-%d.msi", TempFolder(), static_cast<int>(GetCurrentProcessId()));
        try {
            if (!CopyFileW((ThisModuleFolder() + L"VelmoraScanTest.msi").c_str(), completed.c_str(), FALSE))
                SetupError = L"VelmoraScanTest.msi missing next to the test";
            else {
                AddFileType(completed);
                if (intptr_t code = RunMsiexec(L"/i", completed))
                    SetupError = Format(L"msiexec /i %s answered %d", completed, static_cast<int>(code));
            }
        } catch (const EMsiError& e) {
            SetupError = L"Completing the package failed: " + e.Message();
        }
        DeleteFileW(completed.c_str());
    }
    static void TearDownTestSuite() {
        Uninstall(ProductCode);
        TMsiEngine::FreeInstance();
    }
    void SetUp() override { ASSERT_TRUE(SetupError.empty()) << Narrow(SetupError); }

    TFRMsi Scanner(const wchar_t* code, TWorkflowCheck check = {}) {
        return TFRMsi(code, std::move(check), FDataFiles, FFileList, FShortcuts, FRegList);
    }
    std::vector<std::wstring> RegistryEntries() const {
        std::vector<std::wstring> entries;
        for (size_t i = 0; i < FRegList.Count(); ++i)
            entries.push_back(FRegList.GetItem(i).FullPath());
        return entries;
    }

    static inline std::wstring SetupError;
    TFRSharedDlls FSharedDlls{SystemSharedDllCounts()};
    TFRFileList FFileList{FSharedDlls};
    TFRShortcutList FShortcuts;
    TFRRegList FRegList{true};
    std::vector<TFRFile*> FDataFiles;
};

TEST_F(MsiScanTest, FindsFilesRegistryShortcutsFileTypesAndUpgradeCodesOfTheProduct) {
    TFRMsi scanner = Scanner(L"{6a1d3c52-9b47-4e0f-8c21-5d7e9f0a1b34}");
    ASSERT_TRUE(scanner.CanProcess());
    scanner.Run();

    const std::wstring file = InstallDir() + L"scan.txt";
    ASSERT_EQ(FDataFiles.size(), 1u);
    EXPECT_TRUE(SameText(FDataFiles[0]->Path(), file)) << Narrow(FDataFiles[0]->Path());
    EXPECT_EQ(FDataFiles[0]->Size(), static_cast<int64_t>(FileSize(file).value_or(0)));
    EXPECT_GT(FDataFiles[0]->Size(), 0);
    ASSERT_EQ(FShortcuts.Count(), 1u);
    EXPECT_TRUE(SameText(FShortcuts.GetItem(0).ShortcutFile().Path(), InstallDir() + L"Scan notes.lnk"));
    EXPECT_EQ(FShortcuts.GetItem(0).Target(), L"");
    EXPECT_EQ(FFileList.Count(), 2u);
    // The row under a protected path is not listed. The value's emptied key is added
    // whole, but Compact keeps the entry found first for a key path: the value.
    EXPECT_THAT(RegistryEntries(),
                UnorderedElementsAre(
                    L"(x64)HKEY_LOCAL_MACHINE\\Software\\Velmora Scan Test\\Home",
                    L"(x64)HKEY_CLASSES_ROOT\\.vscan\\",
                    L"(x64)HKEY_CLASSES_ROOT\\VelmoraScanTest.Document\\",
                    L"(x64)HKEY_CLASSES_ROOT\\Installer\\UpgradeCodes\\14F2E8B3D5C6B7A4E901F2D4C6A8B075\\"));
}

TEST_F(MsiScanTest, AnExtensionAnotherProgramHasTakenOverStays) {
    TRegKey::CreateOrThrow(HKEY_CLASSES_ROOT, L".vscan").WriteString(L"", L"Other.Document");
    Scanner(ProductCode).Run();
    DeleteKey(TRegRoot::ClassesRoot, L".vscan");

    auto entries = RegistryEntries();
    EXPECT_THAT(entries, ::testing::Not(::testing::Contains(L"(x64)HKEY_CLASSES_ROOT\\.vscan\\")));
    EXPECT_THAT(entries, ::testing::Contains(L"(x64)HKEY_CLASSES_ROOT\\VelmoraScanTest.Document\\"));
}

TEST_F(MsiScanTest, AnUnknownProductCannotBeProcessedAndATerminationEndsTheScanQuietly) {
    TFRMsi unknown = Scanner(UnknownCode);
    EXPECT_FALSE(unknown.CanProcess());
    unknown.Run();
    EXPECT_EQ(FFileList.Count(), 0u);
    EXPECT_EQ(FRegList.Count(), 0u);

    Scanner(ProductCode, [] { throw EAbort(); }).Run();
    EXPECT_THAT(FDataFiles, IsEmpty());
    EXPECT_EQ(FRegList.Count(), 0u);
}

} // namespace
