// The installer-data scanner against the test package and a 32-bit package
// sharing a component with it, both installed for the suite.
#include "forceremove/FileList.h"
#include "forceremove/Msi.h"
#include "forceremove/RegList.h"
#include "forceremove/SharedFolders.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/ShortcutList.h"
#include "FakeRegistry.h"
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
using velmora::testing::ScanPackedUpgradeCode;
using velmora::testing::ScanProductCode;

constexpr wchar_t UnknownCode[] = L"{9C4E1A7B-2D5F-4B8C-A3E6-0F1D2C3B4A59}";
constexpr wchar_t ShareProductCode[] = L"{F013FC00-656C-4898-894A-F4F140F1716F}";
constexpr wchar_t RegisteredApplications[] = L"Software\\RegisteredApplications";
constexpr wchar_t OtherApplication[] = L"Velmora Other Application";
// Another product of the scan package's family.
constexpr wchar_t OtherPackedProduct[] = L"0123456789ABCDEF0123456789ABCDEF";

std::wstring UpgradeCodeKey() {
    return std::wstring(L"Installer\\UpgradeCodes\\") + ScanPackedUpgradeCode;
}
// The file of the component both packages install, in the 32-bit program folder.
std::wstring SharedFile() {
    return IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAM_FILESX86)) +
           L"Velmora Shared Parts\\shared.txt";
}

class MsiScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SetupError = velmora::testing::InstallScanPackage();
        velmora::testing::Uninstall(ShareProductCode);
        if (intptr_t code = velmora::testing::RunMsiexec(L"/i", ThisModuleFolder() + L"VelmoraShareTest.msi"))
            SetupError += Format(L"msiexec /i VelmoraShareTest.msi answered %d", static_cast<int>(code));
    }
    static void TearDownTestSuite() {
        velmora::testing::Uninstall(ShareProductCode);
        velmora::testing::UninstallScanPackage();
        TMsiEngine::FreeInstance();
    }
    void SetUp() override { ASSERT_TRUE(SetupError.empty()) << Narrow(SetupError); }

    TFRMsi Scanner(const wchar_t* code, TWorkflowCheck check = {}) {
        return TFRMsi(code, std::move(check), FDataFiles, FFileList, FShortcuts, FRegList, FSharedFolders);
    }
    static std::vector<std::wstring> EntriesOf(const TFRRegList& list) {
        return velmora::testing::Texts(list, &TFRRegEntry::FullPath);
    }

    static inline std::wstring SetupError;
    TFRSharedDlls FSharedDlls{SystemSharedDllCounts()};
    TFRFileList FFileList{FSharedDlls};
    TFRShortcutList FShortcuts;
    TFRRegList FRegList{true};
    std::vector<TFRFile*> FDataFiles;
    const TSharedFolders FSharedFolders = SystemSharedFolders();
};

// Beside the product's data: another program's value in a key both write to,
// another product of its family, and the component another product shares.
TEST_F(MsiScanTest, FindsTheProductsFilesRegistryShortcutsFileTypesAndUpgradeCodesButNothingItShares) {
    TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, RegisteredApplications, KEY_ALL_ACCESS, TRegView::x64)
        .WriteString(OtherApplication, L"Software\\Velmora Other\\Capabilities");
    TRegKey::CreateOrThrow(HKEY_CLASSES_ROOT, UpgradeCodeKey()).WriteString(OtherPackedProduct, L"");
    TFRMsi scanner = Scanner(L"{6a1d3c52-9b47-4e0f-8c21-5d7e9f0a1b34}");
    ASSERT_TRUE(scanner.CanProcess());
    scanner.Run();
    TRegKey::Open(HKEY_LOCAL_MACHINE, RegisteredApplications, KEY_ALL_ACCESS, TRegView::x64)
        .DeleteValue(OtherApplication);
    TRegKey::Open(HKEY_CLASSES_ROOT, UpgradeCodeKey(), KEY_ALL_ACCESS).DeleteValue(OtherPackedProduct);

    // The package's file and its folder, which holds nothing else; not the
    // folder of the component another product shares.
    const std::wstring file = ScanInstallDir() + L"scan.txt";
    ASSERT_EQ(FDataFiles.size(), 2u);
    EXPECT_TRUE(SameText(FDataFiles[1]->Path(), ScanInstallDir())) << Narrow(FDataFiles[1]->Path());
    EXPECT_TRUE(FDataFiles[1]->IsFolder());
    EXPECT_TRUE(SameText(FDataFiles[0]->Path(), file)) << Narrow(FDataFiles[0]->Path());
    EXPECT_EQ(FDataFiles[0]->Size(), static_cast<int64_t>(FileSize(file).value_or(0)));
    EXPECT_GT(FDataFiles[0]->Size(), 0);
    EXPECT_TRUE(FileExists(SharedFile()));
    ASSERT_EQ(FShortcuts.Count(), 1u);
    EXPECT_TRUE(SameText(FShortcuts.GetItem(0).ShortcutFile().Path(), ScanInstallDir() + L"Scan notes.lnk"));
    EXPECT_EQ(FShortcuts.GetItem(0).Target(), L"");
    EXPECT_EQ(FFileList.Count(), 3u);
    // The row under a protected path is not listed; a key with nothing but the
    // product's values goes whole.
    EXPECT_THAT(EntriesOf(FRegList),
                UnorderedElementsAre(
                    L"(x64)HKEY_LOCAL_MACHINE\\Software\\Velmora Scan Test\\",
                    L"(x64)HKEY_LOCAL_MACHINE\\Software\\RegisteredApplications\\Velmora Scan Test",
                    L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\.vscan\\",
                    L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\VelmoraScanTest.Document\\",
                    L"(x64)HKEY_LOCAL_"
                    L"MACHINE\\Software\\Classes\\Installer\\UpgradeCodes\\14F2E8B3D5C6B7A4E901F2D4C6A8B075\\"
                    L"25C3D1A674B9F0E4C812D5E7F9A0B143"));
}

// Its default names another program's ProgID, or another program keeps its
// own data in it.
TEST_F(MsiScanTest, AnExtensionKeyWithAnotherProgramsDataStays) {
    for (bool takenOver : {false, true}) {
        TFRRegList list(true);
        if (takenOver)
            TRegKey::CreateOrThrow(HKEY_CLASSES_ROOT, L".vscan").WriteString(L"", L"Other.Document");
        else
            TRegKey::CreateOrThrow(HKEY_CLASSES_ROOT, L".vscan\\OpenWithProgids")
                .WriteString(L"Other.Document", L"");
        TFRMsi(ScanProductCode, {}, FDataFiles, FFileList, FShortcuts, list, FSharedFolders).Run();
        DeleteKey(TRegRoot::ClassesRoot, L".vscan");

        auto entries = EntriesOf(list);
        EXPECT_THAT(entries, ::testing::Not(::testing::Contains(
                                 L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\.vscan\\")))
            << takenOver;
        EXPECT_THAT(entries, ::testing::Contains(
                                 L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\VelmoraScanTest.Document\\"));
    }
}

// The 32-bit package's rows are in the 32-bit view, beside the 64-bit
// edition's key of the same path; the component the scan package shares stays.
TEST_F(MsiScanTest, A32BitPackagesRowsAreInThe32BitViewAndASharedComponentsFileStays) {
    TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, L"Software\\Velmora Share Test", KEY_ALL_ACCESS, TRegView::x64)
        .WriteString(L"Home", L"the 64-bit edition");
    Scanner(ShareProductCode).Run();
    DeleteKey(TRegRoot::LocalMachine, L"Software\\Velmora Share Test", TRegView::x64);

    std::vector<std::wstring> files;
    for (const TFRFile* file : FDataFiles)
        files.push_back(LowerCase(file->Path()));
    const std::wstring folder =
        LowerCase(IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAM_FILESX86)) + L"Velmora Share Test\\");
    EXPECT_THAT(files, UnorderedElementsAre(folder + L"share.txt", folder));
    EXPECT_THAT(EntriesOf(FRegList),
                UnorderedElementsAre(L"(x32)HKEY_LOCAL_MACHINE\\Software\\Velmora Share Test\\"));
    EXPECT_TRUE(TRegKey::Open(HKEY_LOCAL_MACHINE, L"Software\\Velmora Share Test", KEY_READ, TRegView::x32)
                    .ValueExists(L"Home"));
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
