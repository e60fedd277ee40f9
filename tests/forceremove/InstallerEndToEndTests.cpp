// Forced removal against the programs' own quiet uninstall, on programs that
// installers built here install on a machine of the test's own: an NSIS
// installer for the user alone and one for all users (a file type with its
// ProgID, open-with entries, an Applications key, a Default Programs
// registration) and an installer package. Each is installed, uninstalled
// quietly and its places snapshotted; installed again, removed by force and
// snapshotted again: both snapshots must be equal, a neighbour's values in
// the shared keys untouched. The backup of the forced removal then restores
// the installed program where it was.
#include "MachineKit.h"
#include "tests/library/LibraryHarness.h"
#include "tests/library/ProgramLookup.h"

#include "api/Interfaces.Rekova.h"
#include "platform/ComText.h"
#include "platform/LibraryLoader.h"
#include "platform/RekovaSettings.h"

#include <gmock/gmock.h>

using namespace std::chrono_literals;
using namespace velmora;
using namespace velmora::testing;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;

namespace {

constexpr wchar_t Classes[] = L"Software\\Classes\\";
constexpr wchar_t RegisteredApplications[] = L"Software\\RegisteredApplications";
constexpr wchar_t VendorKey[] = L"Software\\Velmora";

struct TInstaller {
    std::wstring Name;  // display name
    std::wstring Setup; // beside the test; empty for the scan package
    TRegRoot Root;
    std::wstring InstallDir;
    std::vector<std::wstring> Keys; // what it writes, below Root (64-bit view)
    // Entries the forced removal must list, class keys as the user's or the machine's real key.
    std::vector<std::wstring> Entries;
};

std::vector<TInstaller> Installers() {
    const std::wstring uninstall = std::wstring(UninstallKey) + L"\\";
    const std::wstring c = Classes;
    return {
        {L"Velmora User Viewer",
         L"VelmoraUserViewerSetup.exe",
         TRegRoot::CurrentUser,
         IncludeTrailingBackslash(LocalAppDataFolder()) + L"Programs\\Velmora User Viewer\\",
         {c + L"VelmoraUserViewer.Document", c + L".vuview", c + L"Applications\\uviewer.exe",
          uninstall + L"Velmora User Viewer"},
         {L"(x64)hkey_current_user\\software\\classes\\.vuview\\",
          L"(x64)hkey_current_user\\software\\classes\\velmorauserviewer.document\\",
          L"(x64)hkey_current_user\\software\\classes\\applications\\uviewer.exe\\",
          L"(x64)hkey_current_user\\software\\registeredapplications\\velmora user viewer"}},
        {L"Velmora Machine Viewer",
         L"VelmoraMachineViewerSetup.exe",
         TRegRoot::LocalMachine,
         velmora::testing::detail::In(SpecialFolder(CSIDL_PROGRAM_FILES), {L"Velmora Machine Viewer"}),
         {c + L"VelmoraMachineViewer.Document", c + L".vmview", c + L"Applications\\mviewer.exe",
          uninstall + L"Velmora Machine Viewer"},
         {L"(x64)hkey_local_machine\\software\\classes\\.vmview\\",
          L"(x64)hkey_local_machine\\software\\registeredapplications\\velmora machine viewer"}},
        // Its row below Software\Microsoft is refused by the list (a protected
        // path): it is left out of the comparison.
        {ScanProductName,
         L"",
         TRegRoot::LocalMachine,
         ScanInstallDir(),
         {L"Software\\Velmora Scan Test", c + L".vscan", c + L"VelmoraScanTest.Document",
          c + L"Installer\\UpgradeCodes\\" + ScanPackedUpgradeCode,
          c + L"Installer\\Products\\25C3D1A674B9F0E4C812D5E7F9A0B143", uninstall + ScanProductCode},
         {L"(x64)hkey_local_machine\\software\\registeredapplications\\velmora scan test"}},
    };
}

// Another program's registration beside the installers': its value in both
// roots' RegisteredApplications, its key below the vendor's, and the machine's
// extension key of the per-user program's type. Removed afterwards.
class TNeighbour {
public:
    TNeighbour() {
        for (TRegRoot root : {TRegRoot::CurrentUser, TRegRoot::LocalMachine}) {
            Create(root, RegisteredApplications).WriteString(Name, Capabilities);
            Create(root, Capabilities).WriteString(L"ApplicationName", Name);
        }
        Create(TRegRoot::LocalMachine, std::wstring(Classes) + L".vuview")
            .WriteString(L"", L"Neighbour.Document");
    }
    ~TNeighbour() {
        for (TRegRoot root : {TRegRoot::CurrentUser, TRegRoot::LocalMachine}) {
            TRegKey::Open(root, RegisteredApplications, KEY_WRITE, TRegView::x64).DeleteValue(Name);
            DeleteKey(root, VendorKey, TRegView::x64);
        }
        DeleteKey(TRegRoot::LocalMachine, std::wstring(Classes) + L".vuview", TRegView::x64);
    }
    TNeighbour(const TNeighbour&) = delete;
    TNeighbour& operator=(const TNeighbour&) = delete;

    // The installer's places and the shared keys, as they are now.
    static TMachineSnapshot Snapshot(const TInstaller& installer) {
        TMachineSnapshot snapshot;
        snapshot.AddFolder(installer.InstallDir);
        for (const auto& key : installer.Keys)
            snapshot.AddKey(installer.Root, key);
        for (TRegRoot root : {TRegRoot::CurrentUser, TRegRoot::LocalMachine}) {
            snapshot.AddValues(root, RegisteredApplications);
            snapshot.AddKey(root, VendorKey);
        }
        snapshot.AddKey(TRegRoot::LocalMachine, std::wstring(Classes) + L".vuview");
        return snapshot;
    }

private:
    static TRegKey Create(TRegRoot root, const std::wstring& path) {
        return TRegKey::CreateOrThrow(RootKey(root), path, KEY_READ | KEY_WRITE, TRegView::x64);
    }
    const std::wstring Name = L"Velmora Neighbour";
    const std::wstring Capabilities = std::wstring(VendorKey) + L"\\Neighbour\\Capabilities";
};

// Installs; empty, or what failed.
std::wstring Install(const TInstaller& installer) {
    if (installer.Setup.empty())
        return InstallScanPackage();
    auto [code, output] = RunProgram(ThisModuleFolder() + installer.Setup, L"/S", 60s);
    return code == 0 ? L"" : Format(L"%s answered %d", installer.Setup, code);
}

// The program's own quiet uninstall, waited for (an NSIS uninstaller goes on
// in a copy of itself and ends last with the program's folder).
void UninstallQuietly(const TInstaller& installer) {
    if (installer.Setup.empty())
        return UninstallScanPackage();
    const std::wstring key = std::wstring(UninstallKey) + L"\\" + installer.Name;
    const std::wstring quiet = TRegKey::Open(installer.Root, key, KEY_READ, TRegView::x64)
                                   .ReadString(L"QuietUninstallString")
                                   .value_or(L"");
    const size_t end = quiet.find(L'"', 1);
    ASSERT_TRUE(quiet.starts_with(L'"') && end != std::wstring::npos) << Narrow(quiet);
    RunProgram(quiet.substr(1, end - 1), quiet.substr(end + 1), 60s);
    EXPECT_TRUE(WaitUntil(
        [&] { return !Listed(installer.InstallDir) && !KeyExists(installer.Root, key, TRegView::x64); }, 60s))
        << Narrow(installer.Name) << " was not uninstalled";
}

// The removal of the program, scanned and run to its end through the public
// interfaces; the registry entries it listed.
std::vector<std::wstring> ForceRemove(IVelmora& root, const std::wstring& name) {
    std::vector<std::wstring> entries;
    TComPtr<IProductCollection> programs;
    TComPtr<IProduct> product;
    root.RefreshProgramList();
    WaitUntil(
        [&] {
            programs.reset();
            root.GetPrograms(programs.put());
            return programs && (product = FindProgram(*programs, name));
        },
        60s);
    TComPtr<IForceRemove> removal;
    if (product)
        product->GetForceRemove(removal.put());
    if (!removal) {
        ADD_FAILURE() << "no forced removal for " << Narrow(name);
        return entries;
    }
    removal->StartCalculate();
    EXPECT_TRUE(WaitUntil(
        [&] { return removal->GetCalcFinished() && removal->GetState() == TFRState::frsPaused; }, 120s));
    for (int32_t i = 0, n = removal->GetRegEntryCount(); i < n; ++i) {
        TComPtr<IFRRegEntry> entry;
        BSTR text = nullptr;
        if (removal->GetRegEntry(i, entry.put()); entry)
            entry->FullPath(&text);
        entries.push_back(LowerCase(BstrText(unique_bstr(text).get())));
    }
    removal->StartRemove();
    EXPECT_TRUE(WaitUntil([&] { return removal->GetState() == TFRState::frsFinished; }, 120s))
        << "the removal of " << Narrow(name) << " did not finish";
    return entries;
}

// The newest backup set's id, restored with the command-line tool; its output.
std::string RestoreNewestBackup() {
    TComPtr<IRekova> rekova;
    TComPtr<IRekovaSet> set;
    if (DllRoutines::GetInstance(L"RekovaHelper.dll", __uuidof(IRekova),
                                 reinterpret_cast<void**>(rekova.put())))
        rekova->GetSet(0, set.put());
    if (!set)
        return "no backup set";
    BSTR id = nullptr;
    set->GetId(&id);
    auto [code, output] =
        RunProgram(ThisModuleFolder() + L"velmora.exe", L"restore " + BstrText(unique_bstr(id).get()));
    return code == 0 ? "" : output;
}

TEST(ForceRemoveInstallers, LeavesWhatTheProgramsOwnQuietUninstallLeavesAndItsBackupRestoresThem) {
    const TNeighbour neighbour;
    const bool backupsWereOn = RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName);
    RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, 1);
    TLoadedLibrary library;
    TComPtr<IVelmora> root = library.NewRoot();
    ASSERT_TRUE(root);
    root->Refresh();
    ASSERT_TRUE(WaitUntil([&] { return root->GetReadState() == TReadState::rsLoaded; }, 180s));
    for (const TInstaller& installer : Installers()) {
        SCOPED_TRACE(Narrow(installer.Name));
        const TMachineSnapshot before = TNeighbour::Snapshot(installer);
        ASSERT_EQ(Install(installer), L"");
        EXPECT_THAT(before.DifferencesTo(TNeighbour::Snapshot(installer)), Not(IsEmpty()));
        UninstallQuietly(installer);
        // The uninstall takes back all it wrote, and nothing of the neighbour.
        const TMachineSnapshot uninstalled = TNeighbour::Snapshot(installer);
        EXPECT_THAT(before.DifferencesTo(uninstalled), IsEmpty());

        ASSERT_EQ(Install(installer), L"");
        const TMachineSnapshot reinstalled = TNeighbour::Snapshot(installer);
        EXPECT_THAT(ForceRemove(*root, installer.Name), IsSupersetOf(installer.Entries));
        EXPECT_THAT(uninstalled.DifferencesTo(TNeighbour::Snapshot(installer)), IsEmpty());

        EXPECT_EQ(RestoreNewestBackup(), "");
        EXPECT_THAT(reinstalled.DifferencesTo(TNeighbour::Snapshot(installer)), IsEmpty());
        UninstallQuietly(installer);
    }
    root->Stop();
    RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, backupsWereOn ? 1 : 0);
}

} // namespace
