// The installer-data scanner against the test package, installed for the suite.
#include "forceremove/FileList.h"
#include "forceremove/Msi.h"
#include "forceremove/RegList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/ShortcutList.h"
#include "MachineKit.h"

#include "msi/MsiEngine.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <gmock/gmock.h>

using namespace velmora;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

using velmora::testing::ScanInstallDir;
using velmora::testing::ScanProductCode;

constexpr wchar_t UnknownCode[] = L"{9C4E1A7B-2D5F-4B8C-A3E6-0F1D2C3B4A59}";

class MsiScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetupError = velmora::testing::InstallScanPackage(); }
    static void TearDownTestSuite() {
        velmora::testing::UninstallScanPackage();
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

    const std::wstring file = ScanInstallDir() + L"scan.txt";
    ASSERT_EQ(FDataFiles.size(), 1u);
    EXPECT_TRUE(SameText(FDataFiles[0]->Path(), file)) << Narrow(FDataFiles[0]->Path());
    EXPECT_EQ(FDataFiles[0]->Size(), static_cast<int64_t>(FileSize(file).value_or(0)));
    EXPECT_GT(FDataFiles[0]->Size(), 0);
    ASSERT_EQ(FShortcuts.Count(), 1u);
    EXPECT_TRUE(SameText(FShortcuts.GetItem(0).ShortcutFile().Path(), ScanInstallDir() + L"Scan notes.lnk"));
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
    Scanner(ScanProductCode).Run();
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

    Scanner(ScanProductCode, [] { throw EAbort(); }).Run();
    EXPECT_THAT(FDataFiles, IsEmpty());
    EXPECT_EQ(FRegList.Count(), 0u);
}

} // namespace
