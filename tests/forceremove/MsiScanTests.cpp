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
using ::testing::UnorderedElementsAreArray;

namespace {

using velmora::testing::ScanInstallDir;
using velmora::testing::ScanPackedUpgradeCode;

constexpr wchar_t ShareProductCode[] = L"{F013FC00-656C-4898-894A-F4F140F1716F}";
constexpr wchar_t RegisteredApplications[] = L"Software\\RegisteredApplications";
constexpr wchar_t OtherApplication[] = L"Velmora Other Application";
// Another product of the scan package's family.
constexpr wchar_t OtherPackedProduct[] = L"0123456789ABCDEF0123456789ABCDEF";

std::wstring UpgradeCodeKey() {
    return std::wstring(L"Installer\\UpgradeCodes\\") + ScanPackedUpgradeCode;
}
std::wstring X86Folder(const std::wstring& name) {
    return IncludeTrailingBackslash(SpecialFolder(CSIDL_PROGRAM_FILESX86)) + name + L"\\";
}
constexpr wchar_t ShareKey[] = L"Software\\Velmora Share Test";

// Beside the packages: another program's value in a key the scan package
// writes to, another product of its family, and the 64-bit edition's key of
// the 32-bit package's path.
class MsiScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SetupError = velmora::testing::InstallScanPackage();
        velmora::testing::Uninstall(ShareProductCode);
        if (intptr_t code = velmora::testing::RunMsiexec(L"/i", ThisModuleFolder() + L"VelmoraShareTest.msi"))
            SetupError += Format(L"msiexec /i VelmoraShareTest.msi answered %d", static_cast<int>(code));
        TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, RegisteredApplications, KEY_ALL_ACCESS, TRegView::x64)
            .WriteString(OtherApplication, L"Software\\Velmora Other\\Capabilities");
        TRegKey::CreateOrThrow(HKEY_CLASSES_ROOT, UpgradeCodeKey()).WriteString(OtherPackedProduct, L"");
        TRegKey::CreateOrThrow(HKEY_LOCAL_MACHINE, ShareKey, KEY_ALL_ACCESS, TRegView::x64)
            .WriteString(L"Home", L"the 64-bit edition");
    }
    static void TearDownTestSuite() {
        TRegKey::Open(HKEY_LOCAL_MACHINE, RegisteredApplications, KEY_ALL_ACCESS, TRegView::x64)
            .DeleteValue(OtherApplication);
        TRegKey::Open(HKEY_CLASSES_ROOT, UpgradeCodeKey(), KEY_ALL_ACCESS).DeleteValue(OtherPackedProduct);
        DeleteKey(TRegRoot::LocalMachine, ShareKey, TRegView::x64);
        velmora::testing::Uninstall(ShareProductCode);
        velmora::testing::UninstallScanPackage();
        TMsiEngine::FreeInstance();
    }
    void SetUp() override { ASSERT_TRUE(SetupError.empty()) << Narrow(SetupError); }

    static inline std::wstring SetupError;
    TFRSharedDlls FSharedDlls{SystemSharedDllCounts()};
    TFRFileList FFileList{FSharedDlls};
    TFRShortcutList FShortcuts;
    std::vector<TFRFile*> FDataFiles;
    const TSharedFolders FSharedFolders = SystemSharedFolders();
};

// A file with its size on disk, a folder marked, lower-cased.
std::wstring Sized(const std::wstring& path) {
    const auto size = FileSize(path);
    return LowerCase(path) + (path.ends_with(L'\\') ? L" folder"
                              : size                ? L" " + std::to_wstring(*size)
                                                    : L" missing");
}

// Each package's files and the folder they leave empty, not the folder of the
// component both share, whose file stays; the rows outside the protected
// paths in the package's view (a key with nothing but the product's values
// whole), its shortcut, file type and upgrade code.
TEST_F(MsiScanTest, FindsEachProductsFilesRowsInItsViewShortcutsFileTypesAndUpgradeCodesButNothingItShares) {
    const std::wstring scanDir = ScanInstallDir(), shareDir = X86Folder(L"Velmora Share Test");
    const std::wstring classes = L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\";
    const struct {
        const wchar_t* Code;
        std::vector<std::wstring> Files, Shortcuts, Entries;
    } cases[] = {
        {L"{6a1d3c52-9b47-4e0f-8c21-5d7e9f0a1b34}",
         {Sized(scanDir + L"scan.txt"), Sized(scanDir)},
         {LowerCase(scanDir) + L"scan notes.lnk -> "},
         {L"(x64)HKEY_LOCAL_MACHINE\\Software\\Velmora Scan Test\\",
          L"(x64)HKEY_LOCAL_MACHINE\\Software\\RegisteredApplications\\Velmora Scan Test",
          classes + L".vscan\\", classes + L"VelmoraScanTest.Document\\",
          classes + UpgradeCodeKey() + L"\\25C3D1A674B9F0E4C812D5E7F9A0B143"}},
        {ShareProductCode,
         {Sized(shareDir + L"share.txt"), Sized(shareDir)},
         {},
         {L"(x32)HKEY_LOCAL_MACHINE\\Software\\Velmora Share Test\\"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.Code));
        FDataFiles.clear();
        FFileList.Clear();
        FShortcuts.Clear();
        TFRRegList rows(true);
        TFRMsi scanner(c.Code, {}, FDataFiles, FFileList, FShortcuts, rows, FSharedFolders);
        EXPECT_TRUE(scanner.CanProcess());
        scanner.Run();
        std::vector<std::wstring> files;
        for (const TFRFile* file : FDataFiles)
            files.push_back(LowerCase(file->Path()) +
                            (file->IsFolder() ? L" folder" : L" " + std::to_wstring(file->Size())));
        EXPECT_EQ(files, c.Files);
        EXPECT_EQ(velmora::testing::Texts(FShortcuts,
                                          [](const TFRShortcut& s) {
                                              return LowerCase(s.ShortcutFile().Path()) + L" -> " +
                                                     s.Target();
                                          }),
                  c.Shortcuts);
        EXPECT_EQ(FFileList.Count(), c.Files.size() + c.Shortcuts.size());
        EXPECT_THAT(velmora::testing::Texts(rows, &TFRRegEntry::FullPath),
                    UnorderedElementsAreArray(c.Entries));
    }
    EXPECT_TRUE(FileExists(X86Folder(L"Velmora Shared Parts") + L"shared.txt"));
}

} // namespace
