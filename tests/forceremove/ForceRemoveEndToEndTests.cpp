// Forced removal end to end: VelmoraHelper.dll loaded as a front end loads it
// (LoadLibrary, DllGetInstance, the public interfaces and nothing else) on a
// machine of its own, where two programs of one vendor, an installer package
// and a program recorded with the program-files folder as its home live side
// by side; and against the programs' own quiet uninstall, on programs that
// installers built here install.
#include "MachineKit.h"
#include "tests/library/LibraryHarness.h"
#include "tests/library/ProgramLookup.h"

#include "api/Interfaces.Rekova.h"
#include "platform/ComText.h"
#include "platform/LibraryLoader.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/PathText.h"
#include "platform/RekovaSettings.h"
#include "platform/Text.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <objbase.h>

#include <set>

using namespace std::chrono_literals;
using namespace velmora;
using namespace velmora::testing;
using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;

namespace {

// The text one getter of an item hands out.
template <class I, class Getter> std::wstring TextOf(I* item, Getter getter) {
    BSTR text = nullptr;
    if (item)
        (item->*getter)(&text);
    return BstrText(unique_bstr(text).get());
}

// What the removal reports of one data file or folder.
struct TOutcome {
    std::wstring Path;
    bool IsFolder = false;
    bool Removed = false;
    std::wstring Error;
};

// The lists of a removal as the front end reads them, paths and keys
// lower-cased: they compare without regard to case.
struct TLeftovers {
    std::vector<std::wstring> DataFiles, RegEntries, Shortcuts, ShortcutTargets, Services;
    std::vector<TOutcome> Outcomes; // of the data files

    explicit TLeftovers(IForceRemove& removal) {
        ForEach<IFRFile>(removal.GetDataFileCount(), removal, &IForceRemove::GetDataFile, [&](IFRFile* file) {
            DataFiles.push_back(LowerCase(TextOf(file, &IFRFile::GetPath)));
            Outcomes.push_back({DataFiles.back(), file->GetIsFolder(), file->GetRemoved(),
                                TextOf(file, &IFRFile::GetErrorMessage)});
        });
        ForEach<IFRRegEntry>(
            removal.GetRegEntryCount(), removal, &IForceRemove::GetRegEntry,
            [&](auto* entry) { RegEntries.push_back(LowerCase(TextOf(entry, &IFRRegEntry::FullPath))); });
        ForEach<IFRShortcut>(
            removal.GetShortcutCount(), removal, &IForceRemove::GetShortcut, [&](auto* shortcut) {
                TComPtr<IFRFile> file;
                shortcut->GetShortcutFile(file.put());
                Shortcuts.push_back(LowerCase(TextOf(file.get(), &IFRFile::GetPath)));
                ShortcutTargets.push_back(LowerCase(TextOf(shortcut, &IFRShortcut::GetTarget)));
            });
        ForEach<IFRService>(
            removal.GetServiceCount(), removal, &IForceRemove::GetService,
            [&](auto* service) { Services.push_back(TextOf(service, &IFRService::GetName)); });
    }

private:
    // Each item the getter hands out; one it does not is a failure.
    template <class I, class Getter, class Use>
    static void ForEach(int32_t count, IForceRemove& removal, Getter getter, Use use) {
        for (int32_t i = 0; i < count; ++i) {
            TComPtr<I> item;
            (removal.*getter)(i, item.put());
            if (item)
                use(item.get());
            else
                ADD_FAILURE() << "item " << i << " was not handed out";
        }
    }
};

// Every file is deleted; a folder that still holds something (what is not
// the program's) stays, and says why; each outcome as the machine shows it.
void ExpectEveryFileRemoved(IForceRemove& removal) {
    for (const TOutcome& entry : TLeftovers(removal).Outcomes) {
        EXPECT_EQ(entry.Removed, !Listed(entry.Path)) << Narrow(entry.Path);
        EXPECT_TRUE(entry.Removed || entry.IsFolder) << Narrow(entry.Path) << ": " << Narrow(entry.Error);
        EXPECT_EQ(entry.Removed, entry.Error.empty()) << Narrow(entry.Path) << ": " << Narrow(entry.Error);
    }
}

std::vector<std::wstring> BlockedFiles(IForceRemove& removal) {
    std::vector<std::wstring> paths;
    removal.Lock();
    TComPtr<IVelmoraStrings> list;
    removal.GetBlockedFiles(list.put());
    for (int32_t i = 0, n = list ? list->GetCount() : 0; i < n; ++i) {
        BSTR path = nullptr;
        list->Get(i, &path);
        paths.push_back(LowerCase(BstrText(unique_bstr(path).get())));
    }
    removal.Unlock();
    return paths;
}

// The scan, run to the pause after it.
bool Scan(IForceRemove& removal) {
    removal.StartCalculate();
    return WaitUntil([&] { return removal.GetCalcFinished() && removal.GetState() == TFRState::frsPaused; },
                     120s);
}

// The removal, run to its end; the decisions asked for meanwhile.
std::set<TFRRequiredAction> Remove(IForceRemove& removal) {
    std::set<TFRRequiredAction> asked;
    removal.StartRemove();
    EXPECT_TRUE(WaitUntil(
        [&] {
            asked.insert(removal.GetRequiredAction());
            return removal.GetState() == TFRState::frsFinished;
        },
        120s))
        << "the removal did not finish";
    return asked;
}

// Paused on that question.
bool AskedFor(IForceRemove& removal, TFRRequiredAction question) {
    return removal.GetState() == TFRState::frsPaused && removal.GetRequiredAction() == question;
}

bool Finishes(IForceRemove& removal) {
    return WaitUntil([&] { return removal.GetState() == TFRState::frsFinished; }, 60s);
}

// The library and its root object as a front end holds them; the inventory read once.
class TFrontEnd {
public:
    TFrontEnd() : Root(Library.NewRoot()) {
        if (Root) {
            Root->Refresh();
            Loaded = WaitUntil([&] { return Root->GetReadState() == TReadState::rsLoaded; }, 180s);
        }
    }
    ~TFrontEnd() {
        if (Root)
            Root->Stop();
    }

    // A new controller for the program of that display name; a program
    // installed after the first read is awaited.
    TComPtr<IForceRemove> ForceRemove(const std::wstring& name) {
        TComPtr<IProduct> found;
        if (!WaitUntil([&] { return bool(found = FindProgram(name)); }, 5s)) {
            Root->RefreshProgramList();
            WaitUntil([&] { return bool(found = FindProgram(name)); }, 60s);
        }
        TComPtr<IForceRemove> removal;
        if (found)
            found->GetForceRemove(removal.put());
        else
            ADD_FAILURE() << Narrow(name) << " is not in the inventory";
        return removal;
    }

    TLoadedLibrary Library;
    TComPtr<IVelmora> Root;
    bool Loaded = false;

private:
    TComPtr<IProduct> FindProgram(const std::wstring& name) {
        TComPtr<IProductCollection> programs;
        Root->GetPrograms(programs.put());
        return programs ? velmora::testing::FindProgram(*programs, name) : TComPtr<IProduct>();
    }
};

inline constexpr wchar_t AppPathsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
inline constexpr wchar_t RegisteredApplicationsKey[] = L"Software\\RegisteredApplications";

// Registrations around A that name its files or reach into what is not its
// own, each beside a neighbour's that must stay: A's verb on a system file
// type; a ProgID whose "open" runs A and whose "print" runs B; an AppID key
// named after a file that A and B both ship; App Paths and Applications keys
// of a.exe (A's in the machine's keys, another a.exe's in the user's); a
// service of another program whose file has the name and size of A's
// service file; A's and B's shortcuts in the common Startup folder; a web
// link beside A's shortcut in a menu folder of A's own; another program's
// value in the key where the installer package registers its application.
// Removed afterwards.
class TNeighbours : TMachinePart {
public:
    explicit TNeighbours(const TVendorMachine& machine)
        : Programs(machine.Programs), SharedProgId(Programs.Vendor + L".Shared"),
          SystemVerb(L"txtfile\\shell\\" + Programs.Vendor),
          OtherAgent(
              WriteFile(velmora::testing::detail::In(ProgramFilesFolder(), {Programs.Vendor, L"Tools"}) +
                            L"a-agent.exe",
                        500)),
          OtherService(L"\"" + OtherAgent + L"\" -service"), StartupA(Startup() + Programs.NameA + L".lnk"),
          StartupB(Startup() + Programs.NameB + L".lnk"),
          ToolsLink(machine.MenuFolder + L"A Tools\\A help.lnk"),
          WebLink(machine.MenuFolder + L"A Tools\\A website.url") {
        WriteFile(Programs.InstallA + L"setup.exe", 50);
        WriteFile(Programs.InstallB + L"setup.exe", 60);
        WriteShortcut(StartupA, Programs.AExe);
        WriteShortcut(StartupB, Programs.BExe);
        WriteShortcut(ToolsLink, Programs.AExe);
        std::ofstream(fs::path(WebLink)) << "[InternetShortcut]\r\nURL=https://example.invalid/\r\n";
        const std::wstring runA = L"\"" + Programs.AExe + L"\" \"%1\"";
        const TRegRoot classes = TRegRoot::ClassesRoot;
        const bool written = WriteStrings({
            {classes, SystemVerb + L"\\command", L"", runA},
            {classes, SharedProgId, L"", L"Shared document"},
            {classes, SharedProgId + L"\\shell\\open\\command", L"", runA},
            {classes, SharedProgId + L"\\shell\\print\\command", L"",
             L"\"" + Programs.BExe + L"\" /p \"%1\""},
            {classes, L"AppID\\setup.exe", L"AppID", L"{5C3B7A0E-0C1D-4E55-9A7B-6D2F4E8A1C90}"},
            {TRegRoot::LocalMachine, std::wstring(AppPathsKey) + L"\\a.exe", L"", Programs.AExe},
            {TRegRoot::CurrentUser, std::wstring(AppPathsKey) + L"\\a.exe", L"", L"C:\\Other Tools\\a.exe"},
            {classes, L"Applications\\a.exe\\shell\\open\\command", L"", runA},
            {TRegRoot::LocalMachine, RegisteredApplicationsKey, OtherApplication, L"Software\\Other"},
        });
        if (!written)
            ADD_FAILURE() << "the neighbours' registrations were not written";
    }
    ~TNeighbours() {
        for (const std::wstring& key : {SystemVerb, SharedProgId, std::wstring(L"AppID\\setup.exe"),
                                        std::wstring(L"Applications\\a.exe")})
            DeleteKey(TRegRoot::ClassesRoot, key, TRegView::x64);
        for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser})
            DeleteKey(root, std::wstring(AppPathsKey) + L"\\a.exe", TRegView::x64);
        CreateKey(TRegRoot::LocalMachine, RegisteredApplicationsKey).DeleteValue(OtherApplication);
        std::error_code ignored;
        for (const auto& link : {StartupA, StartupB})
            fs::remove(link, ignored);
    }

    // The registry entries of A's among them, as the removal lists them.
    std::vector<std::wstring> EntriesOfA() const {
        return {
            LowerCase(L"(x64)HKEY_LOCAL_MACHINE\\" + std::wstring(AppPathsKey) + L"\\a.exe\\"),
            LowerCase(L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\Applications\\a.exe\\"),
            LowerCase(L"(x64)HKEY_LOCAL_MACHINE\\Software\\Classes\\" + SharedProgId + L"\\shell\\open\\")};
    }
    // What is not A's among them.
    void AddOthers(TMachineSnapshot& snapshot) const {
        for (const std::wstring& key :
             {std::wstring(L"txtfile"), SharedProgId + L"\\shell\\print", std::wstring(L"AppID\\setup.exe")})
            snapshot.AddKey(TRegRoot::ClassesRoot, key, TRegView::Default);
        snapshot.AddKey(TRegRoot::CurrentUser, std::wstring(AppPathsKey) + L"\\a.exe");
        for (const auto& file : {OtherAgent, StartupB, WebLink, Programs.InstallB + L"setup.exe"})
            snapshot.AddFile(file);
        snapshot.AddService(OtherService.Name());
        snapshot.AddValues(TRegRoot::LocalMachine, RegisteredApplicationsKey, {ScanProductName});
    }

    const TTwoPrograms& Programs;
    const std::wstring SharedProgId, SystemVerb, OtherAgent;
    const TTestService OtherService;
    const std::wstring StartupA, StartupB, ToolsLink, WebLink;
    // Another program's value beside the installer package's.
    const std::wstring OtherApplication = Programs.Vendor + L" Other Application";

private:
    static std::wstring Startup() {
        return IncludeTrailingBackslash(SpecialFolder(CSIDL_COMMON_STARTUP | CSIDL_FLAG_CREATE));
    }
};

#define ASSERT_CONTROLLER(removal, name) ASSERT_TRUE(removal) << "no forced removal for " << Narrow(name)

// The vendor's two programs, the installer package and the program recorded
// at the program-files folder, built once. The tests that only scan come
// first; the removal of A changes the machine.
class ForceRemoveMachine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Machine = std::make_unique<TVendorMachine>();
        Neighbours = std::make_unique<TNeighbours>(*Machine);
        PackageFailure = InstallScanPackage();
        const std::wstring& vendor = Machine->Programs.Vendor;
        for (const THome& home : Homes())
            HomeEntries.push_back(std::make_unique<TUninstallEntry>(home.Name, home.InstallLocation, vendor));
        FrontEnd = std::make_unique<TFrontEnd>();
    }
    static void TearDownTestSuite() {
        FrontEnd.reset();
        UninstallScanPackage();
        HomeEntries.clear();
        Neighbours.reset();
        Machine.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(FrontEnd->Root) << "DllGetInstance gave no root object";
        ASSERT_TRUE(FrontEnd->Loaded) << "the inventory was not read";
        ASSERT_TRUE(Machine->ProcessA.Started());
    }

    // Programs recorded with a folder they share with others as their home:
    // the program-files folder, the vendor's folder that holds A's and B's
    // (a shared uninstaller's), and a relative path that names the vendor's
    // folder from the program-files folder, the scan's current folder.
    struct THome {
        std::wstring Name, InstallLocation;
    };
    static std::vector<THome> Homes() {
        const std::wstring& vendor = Machine->Programs.Vendor;
        return {{vendor + L" Home", ProgramFilesFolder()},
                {vendor + L" Suite", velmora::testing::detail::In(ProgramFilesFolder(), {vendor})},
                {vendor + L" Relative", vendor}};
    }

    // Whether a path or key text names something of the vendor's programs or of the package.
    static bool NamesAnotherProgram(const std::wstring& text) {
        const TTwoPrograms& programs = Machine->Programs;
        for (const std::wstring& mark :
             {programs.NameA, programs.NameB, programs.InstallA, programs.InstallB, Machine->MenuFolder,
              std::wstring(ScanProductName), std::wstring(L"VelmoraScanTest"),
              std::wstring(ScanPackedUpgradeCode)})
            if (text.find(LowerCase(mark)) != std::wstring::npos)
                return true;
        return false;
    }

    // What is not A's: B's files, data, shortcuts, service, entry and shared
    // DLL, the DLL A shares with another program, the data folder of A's name
    // in another letter case, the neighbours' and every other shared-DLL count;
    // with all of A's, or else with the package's files and rows and every
    // other uninstall entry.
    static TMachineSnapshot Others(bool withA) {
        const TTwoPrograms& programs = Machine->Programs;
        TMachineSnapshot snapshot;
        for (const auto& folder : {programs.InstallB, programs.RoamingB, programs.CommonOtherCaseA})
            snapshot.AddFolder(folder);
        for (const auto& file : Machine->LinksB)
            snapshot.AddFile(file);
        snapshot.AddFile(Machine->SharedTwiceA.Path);
        snapshot.AddService(Machine->ServiceB.Name());
        snapshot.AddKey(TRegRoot::LocalMachine, Machine->EntryB.KeyPath);
        Neighbours->AddOthers(snapshot);
        if (withA) {
            for (const auto& folder :
                 {programs.InstallA, programs.RoamingA, programs.LocalA, Machine->MenuFolder})
                snapshot.AddFolder(folder);
            for (const auto& file : Machine->LinksA)
                snapshot.AddFile(file);
            snapshot.AddService(Machine->ServiceA.Name());
            snapshot.AddKey(TRegRoot::LocalMachine, Machine->EntryA.KeyPath);
            snapshot.AddValues(TRegRoot::LocalMachine, SharedDllsKey);
            return snapshot;
        }
        snapshot.AddFolder(ScanInstallDir());
        for (const auto& name : TRegKey::Open(TRegRoot::LocalMachine, UninstallKey, KEY_READ, TRegView::x64)
                                    .SubKeyNames()
                                    .ToVector())
            if (name != programs.NameA)
                snapshot.AddKey(TRegRoot::LocalMachine, std::wstring(UninstallKey) + L"\\" + name);
        snapshot.AddValues(TRegRoot::LocalMachine, SharedDllsKey,
                           {Machine->SharedTwiceA.Path, Machine->SharedOnceA.Path});
        snapshot.AddKey(TRegRoot::LocalMachine, L"Software\\Velmora Scan Test");
        snapshot.AddKey(TRegRoot::ClassesRoot, L".vscan", TRegView::Default);
        return snapshot;
    }

    static inline std::unique_ptr<TVendorMachine> Machine;
    static inline std::unique_ptr<TNeighbours> Neighbours;
    static inline std::vector<std::unique_ptr<TUninstallEntry>> HomeEntries;
    static inline std::wstring PackageFailure;
    static inline std::unique_ptr<TFrontEnd> FrontEnd;
};

// Each home is refused: the scan lists nothing below it and nothing of the
// vendor's programs, and a real removal takes the program's own entry alone.
TEST_F(ForceRemoveMachine, AProgramRecordedAtASharedFolderTakesNothingOfTheOthers) {
    const std::wstring programFiles = LowerCase(IncludeTrailingBackslash(ProgramFilesFolder()));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(programFiles.c_str());
    const std::vector<THome> homes = Homes();
    for (size_t i = 0; i < homes.size(); ++i) {
        SCOPED_TRACE(Narrow(homes[i].InstallLocation));
        const TMachineSnapshot before = Others(true);
        TComPtr<IForceRemove> removal = FrontEnd->ForceRemove(homes[i].Name);
        ASSERT_CONTROLLER(removal, homes[i].Name);
        ASSERT_TRUE(Scan(*removal));

        TLeftovers found(*removal);
        for (const auto* list :
             {&found.DataFiles, &found.Shortcuts, &found.ShortcutTargets, &found.RegEntries})
            for (const auto& text : *list)
                EXPECT_FALSE(NamesAnotherProgram(text)) << Narrow(text);
        for (const auto& path : found.DataFiles)
            EXPECT_FALSE(path.starts_with(programFiles)) << Narrow(path);
        EXPECT_THAT(found.Shortcuts, IsEmpty());
        EXPECT_THAT(found.Services, IsEmpty());
        EXPECT_THAT(found.RegEntries,
                    Contains(LowerCase(L"(x64)HKEY_LOCAL_MACHINE\\" + HomeEntries[i]->KeyPath + L"\\")));

        EXPECT_THAT(Remove(*removal), ElementsAre(TFRRequiredAction::frqNone));
        EXPECT_FALSE(removal->GetTerminated());
        EXPECT_FALSE(HomeEntries[i]->Exists());
        EXPECT_FALSE(Machine->ProcessA.EndsWithin(0)) << "the vendor's program was ended";
        EXPECT_THAT(before.DifferencesTo(Others(true)), IsEmpty());
    }
    SetCurrentDirectoryW(current);
}

TEST_F(ForceRemoveMachine, ThePackagesFilesRowsShortcutFileTypeAndUpgradeCodeGoAndNothingOfTheVendors) {
    ASSERT_TRUE(PackageFailure.empty()) << Narrow(PackageFailure);
    const TMachineSnapshot before = Others(true);
    TComPtr<IForceRemove> removal = FrontEnd->ForceRemove(ScanProductName);
    ASSERT_CONTROLLER(removal, ScanProductName);
    ASSERT_TRUE(Scan(*removal));

    // What the package's data lists exactly is the installer-data scanner's test.
    TLeftovers found(*removal);
    EXPECT_THAT(found.DataFiles, Contains(LowerCase(ScanInstallDir()) + L"scan.txt"));
    for (const auto* list : {&found.DataFiles, &found.Shortcuts, &found.RegEntries})
        for (const auto& text : *list)
            EXPECT_EQ(text.find(LowerCase(Machine->Programs.Vendor)), std::wstring::npos) << Narrow(text);

    EXPECT_THAT(Remove(*removal), ElementsAre(TFRRequiredAction::frqNone));
    ExpectEveryFileRemoved(*removal);
    EXPECT_FALSE(Listed(ScanInstallDir() + L"scan.txt"));
    EXPECT_FALSE(Listed(ScanInstallDir() + L"Scan notes.lnk"));
    EXPECT_FALSE(
        TRegKey::Open(TRegRoot::LocalMachine, L"Software\\Velmora Scan Test", KEY_READ, TRegView::x64)
            .ValueExists(L"Home"));
    EXPECT_FALSE(TRegKey::Open(TRegRoot::LocalMachine, RegisteredApplicationsKey, KEY_READ, TRegView::x64)
                     .ValueExists(ScanProductName));
    for (const std::wstring& key : {std::wstring(L".vscan"), std::wstring(L"VelmoraScanTest.Document"),
                                    std::wstring(L"Installer\\UpgradeCodes\\") + ScanPackedUpgradeCode})
        EXPECT_FALSE(TRegKey::Open(TRegRoot::ClassesRoot, key, KEY_READ)) << Narrow(key);
    EXPECT_FALSE(Machine->ProcessA.EndsWithin(0)) << "the vendor's program was ended";
    EXPECT_THAT(before.DifferencesTo(Others(true)), IsEmpty());
}

TEST_F(ForceRemoveMachine, RemovesEveryLeftoverOfOneProgramAndNothingOfItsNeighbour) {
    const TTwoPrograms& programs = Machine->Programs;
    const TMachineSnapshot before = Others(false);
    TComPtr<IForceRemove> removal = FrontEnd->ForceRemove(programs.NameA);
    ASSERT_CONTROLLER(removal, programs.NameA);
    ASSERT_TRUE(Scan(*removal));

    // Listed: A's files (not the DLL another program holds too), its link as
    // one entry, its data folders, its shortcuts, its service, its entry.
    TLeftovers found(*removal);
    const std::wstring& installA = programs.InstallA;
    std::vector<std::wstring> expectedFiles, linksA = Machine->LinksA;
    linksA.insert(linksA.end(), {Neighbours->StartupA, Neighbours->ToolsLink});
    for (const auto& path : {programs.AExe, programs.ADll, installA + L"lib\\", installA + L"a-agent.exe",
                             Machine->SharedOnceA.Path, Machine->ProcessA.Program(), programs.LinkInA + L"\\",
                             installA, programs.RoamingAFile, programs.RoamingA, programs.LocalAFile,
                             programs.LocalA, installA + L"setup.exe"})
        expectedFiles.push_back(LowerCase(path));
    EXPECT_THAT(found.DataFiles, UnorderedElementsAreArray(expectedFiles));
    for (auto& link : linksA)
        link = LowerCase(link);
    EXPECT_THAT(found.Shortcuts, UnorderedElementsAreArray(linksA));
    EXPECT_THAT(found.ShortcutTargets, Each(LowerCase(programs.AExe)));
    EXPECT_THAT(found.Services, ElementsAre(Machine->ServiceA.Name()));
    EXPECT_THAT(found.RegEntries,
                Contains(LowerCase(L"(x64)HKEY_LOCAL_MACHINE\\" + Machine->EntryA.KeyPath + L"\\")));
    const std::vector<std::wstring> neighbourEntriesOfA = Neighbours->EntriesOfA();
    EXPECT_THAT(found.RegEntries, IsSupersetOf(neighbourEntriesOfA));
    for (const auto& entry : found.RegEntries)
        EXPECT_TRUE(entry.find(LowerCase(programs.NameA)) != std::wstring::npos ||
                    std::ranges::count(neighbourEntriesOfA, entry))
            << "not A's: " << Narrow(entry);

    // A's running program holds its file open: it is ended first, so nothing is reported blocked.
    EXPECT_EQ(removal->GetCalcProgress(), 100);
    EXPECT_THAT(Remove(*removal), ElementsAre(TFRRequiredAction::frqNone));
    EXPECT_TRUE(Machine->ProcessA.EndsWithin(0));
    EXPECT_EQ(removal->GetRemoveProgress(), 100);
    EXPECT_EQ(removal->GetFilesProcessed(), removal->GetTotalFiles());
    EXPECT_EQ(removal->GetRemovedSize(), removal->GetTotalSize());
    EXPECT_EQ(removal->GetRegistryKeysProcessed(), removal->GetRegistryKeysTotal());
    EXPECT_FALSE(removal->GetTerminated());
    ExpectEveryFileRemoved(*removal);
    for (const auto& folder : {programs.InstallA + L"lib", programs.RoamingA, programs.LocalA})
        EXPECT_FALSE(Listed(folder)) << Narrow(folder);
    // The link into B's folder is A's. Wine removes no folder link through
    // Windows calls (Windows removes the link, not its target): it then stays
    // reported, and its target stays as it was (compared below).
    EXPECT_TRUE(Listed(programs.InstallA + L"common.dll"));
    EXPECT_EQ(removal->GetRemovedShortcutCount(), 5);
    EXPECT_EQ(removal->GetRemovedServiceCount(), 1);
    for (const auto& link : linksA)
        EXPECT_FALSE(FileExists(link)) << Narrow(link);
    EXPECT_FALSE(Machine->ServiceA.Exists());
    EXPECT_FALSE(Machine->EntryA.Exists());
    EXPECT_FALSE(
        KeyExists(TRegRoot::ClassesRoot, Neighbours->SharedProgId + L"\\shell\\open", TRegView::x64));
    EXPECT_FALSE(KeyExists(TRegRoot::ClassesRoot, L"Applications\\a.exe", TRegView::x64));
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, std::wstring(AppPathsKey) + L"\\a.exe", TRegView::x64));
    // The DLL another program holds stays, with one holder less; the one only A held is gone with its count.
    EXPECT_EQ(Machine->SharedTwiceA.Count(), 1u);
    EXPECT_EQ(Machine->SharedOnceA.Count(), std::nullopt);

    EXPECT_THAT(before.DifferencesTo(Others(false)), IsEmpty());
}

// A file held open is asked about, and the removal goes on by itself once it
// is closed; or the front end lets go of the controller while its worker
// waits: the worker ends, and with everything released the library reports
// that it can be unloaded and unloads. Each on a program of its own.
TEST(ForceRemoveDecisions, AFileHeldOpenIsAskedForUntilItIsClosedOrTheControllerIsReleased) {
    for (bool release : {false, true}) {
        SCOPED_TRACE(release ? "the controller released" : "the file closed");
        TTwoPrograms programs;
        TUninstallEntry entryA{programs.NameA, programs.InstallA, programs.Vendor};
        {
            TFrontEnd frontEnd;
            ASSERT_TRUE(frontEnd.Loaded) << "the inventory was not read";
            TComPtr<IForceRemove> removal = frontEnd.ForceRemove(programs.NameA);
            ASSERT_CONTROLLER(removal, programs.NameA);
            removal->StartRemove(); // before the scan: nothing happens
            EXPECT_EQ(removal->GetState(), TFRState::frsInitial);
            EXPECT_FALSE(removal->GetCalcFinished());
            ASSERT_TRUE(Scan(*removal));
            EXPECT_EQ(removal->GetAction(), TFRAction::fraCalculating);
            // Opened for reading and shared with nobody, as a program holds it.
            unique_handle held(
                CreateFileW(programs.ADll.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held) << GetLastError();
            removal->StartRemove();
            ASSERT_TRUE(WaitUntil(
                [&] { return removal->GetRequiredAction() == TFRRequiredAction::frqBlockedFilesDecision; },
                60s));
            EXPECT_THAT(BlockedFiles(*removal), ElementsAre(LowerCase(programs.ADll)));
            EXPECT_EQ(removal->GetState(), TFRState::frsPaused);
            EXPECT_EQ(removal->GetStateStamp(), 0u);
            removal->Resume(); // without an answer: asked again
            ASSERT_TRUE(
                WaitUntil([&] { return AskedFor(*removal, TFRRequiredAction::frqBlockedFilesDecision); }));
            EXPECT_TRUE(FileExists(programs.AExe)) << "files deleted before the decision";
            if (release) {
                removal.reset();
                frontEnd.Root->Stop();
                frontEnd.Root.reset();
                EXPECT_TRUE(WaitUntil(
                    [&] { return frontEnd.Library.Export<TDllCanUnloadNow>("DllCanUnloadNow")() == S_OK; },
                    60s));
                held.reset();
            } else {
                held.reset();
                ASSERT_TRUE(Finishes(*removal));
                EXPECT_EQ(removal->GetRequiredAction(), TFRRequiredAction::frqNone);
                EXPECT_EQ(removal->GetBlockedFilesDecision(), TFRBlockedFilesDecision::bfdNone);
                EXPECT_THAT(BlockedFiles(*removal), IsEmpty());
                EXPECT_GT(removal->GetStateStamp(), 0u);
                EXPECT_FALSE(Listed(programs.ADll));
                ExpectEveryFileRemoved(*removal);
                EXPECT_FALSE(removal->GetTerminated());
            }
        }
        if (release) {
            EXPECT_EQ(GetModuleHandleW(L"VelmoraHelper.dll"), nullptr);
            EXPECT_TRUE(FileExists(programs.ADll)) << "the worker went on after its controller was released";
        }
    }
}

// The suite's backup settings for one test: this tool's removals backed up;
// the settings as they were afterwards.
class TBackupsOn : TMachinePart {
public:
    TBackupsOn() : FWasOn(RekovaSettings::IsBackupEnabled(RekovaSettings::VelmoraToolName)) {
        RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, 1);
    }
    ~TBackupsOn() {
        RekovaSettings::SetBackupType(RekovaSettings::VelmoraToolName, FWasOn ? 1 : 0);
        RekovaSettings::SetStoreLimit(FLimit);
    }

private:
    const bool FWasOn;
    const int64_t FLimit = RekovaSettings::StoreLimit();
};

inline constexpr wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Program A of two programs of one vendor, registered as an installer would
// register it, besides its folders: an uninstall entry, a service, a
// shared-DLL count, vendor keys of both roots and both views holding values of every common
// type, an autorun value, a class with its ProgID, and an open-with value on
// an extension another program owns; read-only and hidden files, as some
// installers leave them. Removed afterwards.
class TRegisteredProgram : TMachinePart {
public:
    TRegisteredProgram() {
        SetFileAttributesW(Programs.ADll.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
        SetFileAttributesW(Programs.RoamingAFile.c_str(), FILE_ATTRIBUTE_HIDDEN);
        GUID guid{};
        wchar_t text[40] = {};
        CoCreateGuid(&guid);
        StringFromGUID2(guid, text, 40);
        ClassId = text;
        const BYTE blob[] = {0, 1, 2, 0xFE, 0, 0xFF};
        const TRegKey machine = CreateKey(TRegRoot::LocalMachine, VendorKey + L"\\Alpha");
        const TRegKey openWith = CreateKey(TRegRoot::ClassesRoot, Extension + L"\\OpenWithProgids");
        const TRegRoot classes = TRegRoot::ClassesRoot;
        const bool written =
            machine.WriteExpandString(L"Data", L"%APPDATA%\\" + Programs.Vendor) &&
            machine.WriteNumber(L"Runs", 7) && machine.WriteQword(L"Installed", 0x0123456789ABCDEFull) &&
            machine.WriteBinary(L"Key", blob, sizeof(blob)) &&
            machine.WriteMultiString(L"Plugins", {L"one", L"two"}) &&
            CreateKey(TRegRoot::LocalMachine, VendorKey + L"\\Alpha\\Settings").WriteNumber(L"Level", 3) &&
            CreateKey(TRegRoot::LocalMachine, VendorKey + L"\\Alpha", TRegView::x32)
                .WriteExpandString(L"Home", L"%ProgramFiles%\\App") &&
            openWith.WriteValue(ProgId, TRegValue{REG_NONE, {}}) &&
            openWith.WriteValue(OtherProgId, TRegValue{REG_NONE, {}}) &&
            WriteStrings({
                {TRegRoot::LocalMachine, VendorKey + L"\\Alpha", L"", L"Alpha"},
                {TRegRoot::LocalMachine, VendorKey + L"\\Alpha", L"Path", Programs.InstallA},
                {TRegRoot::CurrentUser, VendorKey + L"\\Alpha", L"Theme", L"dark"},
                {TRegRoot::CurrentUser, RunKey, RunValue, L"\"" + Programs.AExe + L"\" /background"},
                {classes, L"CLSID\\" + ClassId, L"", L"Alpha Document"},
                {classes, L"CLSID\\" + ClassId + L"\\InProcServer32", L"", Programs.ADll},
                {classes, L"CLSID\\" + ClassId + L"\\InProcServer32", L"ThreadingModel", L"Apartment"},
                {classes, L"CLSID\\" + ClassId + L"\\ProgID", L"", ProgId},
                {classes, ProgId, L"", L"Alpha document"},
                {classes, ProgId + L"\\CLSID", L"", ClassId},
                {classes, Extension, L"", OtherProgId},
            });
        if (!written)
            ADD_FAILURE() << "the registration of " << Narrow(Programs.NameA) << " was not written";
    }
    ~TRegisteredProgram() {
        for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser})
            DeleteKey(root, VendorKey, TRegView::x64);
        DeleteKey(TRegRoot::LocalMachine, VendorKey, TRegView::x32);
        TRegKey::Open(TRegRoot::CurrentUser, RunKey, KEY_WRITE, TRegView::x64).DeleteValue(RunValue);
        for (const std::wstring& key : {L"CLSID\\" + ClassId, ProgId, Extension})
            DeleteKey(TRegRoot::ClassesRoot, key, TRegView::x64);
        SetFileAttributesW(Programs.ADll.c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    // Every place the installation touched, and B's folder, as they are now.
    TMachineSnapshot Snapshot() const {
        TMachineSnapshot snapshot;
        for (const auto& folder : {Programs.InstallA, Programs.RoamingA, Programs.LocalA, Programs.InstallB})
            snapshot.AddFolder(folder);
        snapshot.AddService(Service.Name());
        snapshot.AddKey(TRegRoot::LocalMachine, Entry.KeyPath);
        for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser})
            snapshot.AddKey(root, VendorKey);
        snapshot.AddKey(TRegRoot::LocalMachine, VendorKey, TRegView::x32);
        snapshot.AddValues(TRegRoot::CurrentUser, RunKey);
        for (const std::wstring& key : {L"CLSID\\" + ClassId, ProgId, Extension})
            snapshot.AddKey(TRegRoot::ClassesRoot, key);
        snapshot.AddValues(TRegRoot::LocalMachine, SharedDllsKey);
        return snapshot;
    }

    TTwoPrograms Programs;
    const TUninstallEntry Entry{Programs.NameA, Programs.InstallA, Programs.Vendor};
    const TTestService Service{L"\"" + WriteFile(Programs.InstallA + L"a-agent.exe", 500) + L"\" -service"};
    const TSharedDllCount SharedDll{WriteFile(Programs.InstallA + L"alpha-runtime.dll", 900), 1};
    const std::wstring VendorKey = L"Software\\" + Programs.Vendor; // in both roots
    const std::wstring RunValue = Programs.NameA;                   // a value of the user's Run key
    const std::wstring ProgId = Programs.Vendor + L".AlphaDocument",
                       Extension = L"." + LowerCase(Programs.Vendor),
                       OtherProgId = Programs.Vendor + L"Other.Document";
    std::wstring ClassId;
};

// The newest backup set of the store, as the backup component beside the test sees it.
TComPtr<IRekovaSet> NewestBackupSet() {
    TComPtr<IRekova> rekova;
    TComPtr<IRekovaSet> set;
    if (DllRoutines::GetInstance(L"RekovaHelper.dll", __uuidof(IRekova),
                                 reinterpret_cast<void**>(rekova.put())))
        rekova->GetSet(0, set.put());
    return set;
}

std::wstring VelmoraExe() {
    return ThisModuleFolder() + L"velmora.exe";
}

TEST(ForceRemoveBackup, RestoringTheBackupSetOfARemovalGivesBackTheMachineExactlyAsBefore) {
    const TBackupsOn backups;
    TRegisteredProgram program;
    const TTwoPrograms& programs = program.Programs;
    const TMachineSnapshot before = program.Snapshot();
    {
        TFrontEnd frontEnd;
        ASSERT_TRUE(frontEnd.Loaded) << "the inventory was not read";
        TComPtr<IForceRemove> removal = frontEnd.ForceRemove(programs.NameA);
        ASSERT_CONTROLLER(removal, programs.NameA);
        ASSERT_TRUE(Scan(*removal));
        TLeftovers found(*removal);
        const std::wstring classes = L"(x64)hkey_local_machine\\software\\classes\\",
                           user = L"(x64)hkey_current_user\\";
        EXPECT_THAT(
            found.RegEntries,
            IsSupersetOf({LowerCase(classes + L"CLSID\\" + program.ClassId + L"\\"),
                          LowerCase(classes + program.ProgId + L"\\"),
                          LowerCase(classes + program.Extension + L"\\OpenWithProgids\\" + program.ProgId),
                          LowerCase(user + RunKey + L"\\" + program.RunValue),
                          LowerCase(L"(x64)hkey_local_machine\\" + program.VendorKey + L"\\Alpha\\"),
                          LowerCase(L"(x32)hkey_local_machine\\" + program.VendorKey + L"\\Alpha\\"),
                          LowerCase(user + program.VendorKey + L"\\Alpha\\")}));
        EXPECT_THAT(Remove(*removal), ElementsAre(TFRRequiredAction::frqNone));
        ExpectEveryFileRemoved(*removal);
    }
    EXPECT_FALSE(FileExists(programs.AExe));
    EXPECT_FALSE(program.Entry.Exists());
    EXPECT_FALSE(program.Service.Exists());
    EXPECT_FALSE(KeyExists(TRegRoot::LocalMachine, program.VendorKey + L"\\Alpha", TRegView::x32));
    EXPECT_FALSE(TRegKey::Open(TRegRoot::ClassesRoot, L"CLSID\\" + program.ClassId, KEY_READ));
    const TRegKey openWith =
        TRegKey::Open(TRegRoot::ClassesRoot, program.Extension + L"\\OpenWithProgids", KEY_READ);
    EXPECT_FALSE(openWith.ValueExists(program.ProgId));
    EXPECT_TRUE(openWith.ValueExists(program.OtherProgId)) << "another program's open-with value went";
    EXPECT_EQ(program.SharedDll.Count(), std::nullopt);
    EXPECT_THAT(before.DifferencesTo(program.Snapshot()), Not(IsEmpty()));

    TComPtr<IRekovaSet> set = NewestBackupSet();
    ASSERT_TRUE(set) << "no backup set";
    const std::wstring setId = TextOf(set.get(), &IRekovaSet::GetId);
    EXPECT_EQ(TextOf(set.get(), &IRekovaSet::GetName),
              L"Velmora: Deleting entry for \"" + programs.NameA + L"\"");
    auto [code, output] = RunProgram(VelmoraExe(), L"backups");
    EXPECT_EQ(code, 0) << output;
    EXPECT_NE(output.find(Narrow(setId)), std::string::npos) << output;
    EXPECT_NE(output.find(Narrow(programs.NameA)), std::string::npos) << output;

    std::tie(code, output) = RunProgram(VelmoraExe(), L"restore " + setId);
    EXPECT_EQ(code, 0) << output;
    EXPECT_THAT(before.DifferencesTo(program.Snapshot()), IsEmpty()) << output;
    EXPECT_EQ(RunProgram(VelmoraExe(), L"restore " + setId).first, 16) << "restored twice";
}

TEST(ForceRemoveBackup, AFullBackupStoreIsAskedAboutAndTheRemovalGoesOnWithoutBackup) {
    const TBackupsOn backups;
    RekovaSettings::SetStoreLimit(1024 * 1024);
    TTwoPrograms programs;
    TUninstallEntry entryA{programs.NameA, programs.InstallA, programs.Vendor};
    // Two files larger than the store: asked about once.
    WriteFile(programs.InstallA + L"large.bin", 2 * 1024 * 1024);
    WriteFile(programs.InstallA + L"larger.bin", 3 * 1024 * 1024);
    TFrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Loaded) << "the inventory was not read";
    TComPtr<IForceRemove> removal = frontEnd.ForceRemove(programs.NameA);
    ASSERT_CONTROLLER(removal, programs.NameA);
    ASSERT_TRUE(Scan(*removal));

    removal->StartRemove();
    for (int asked = 0; asked < 2; ++asked) { // Resume without an answer: asked again
        ASSERT_TRUE(
            WaitUntil([&] { return AskedFor(*removal, TFRRequiredAction::frqRKFreeSpaceDecision); }, 60s));
        if (asked == 0)
            removal->Resume();
    }
    removal->SetRKFreeSpaceDecision(TFRFreeSpaceDecision::rksNotUseRK);
    removal->Resume();
    ASSERT_TRUE(Finishes(*removal));
    ExpectEveryFileRemoved(*removal);
    EXPECT_FALSE(FileExists(programs.InstallA + L"large.bin"));
    EXPECT_FALSE(FileExists(programs.InstallA + L"larger.bin"));
    EXPECT_FALSE(entryA.Exists());

    TComPtr<IRekovaSet> set = NewestBackupSet();
    ASSERT_TRUE(set);
    EXPECT_EQ(TextOf(set.get(), &IRekovaSet::GetStatus), L"incomplete");
}

constexpr wchar_t Classes[] = L"Software\\Classes\\";
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
class TNeighbour : TMachinePart {
public:
    TNeighbour() {
        for (TRegRoot root : {TRegRoot::CurrentUser, TRegRoot::LocalMachine}) {
            CreateKey(root, RegisteredApplicationsKey).WriteString(Name, Capabilities);
            CreateKey(root, Capabilities).WriteString(L"ApplicationName", Name);
        }
        CreateKey(TRegRoot::LocalMachine, std::wstring(Classes) + L".vuview")
            .WriteString(L"", L"Neighbour.Document");
    }
    ~TNeighbour() {
        for (TRegRoot root : {TRegRoot::CurrentUser, TRegRoot::LocalMachine}) {
            TRegKey::Open(root, RegisteredApplicationsKey, KEY_WRITE, TRegView::x64).DeleteValue(Name);
            DeleteKey(root, VendorKey, TRegView::x64);
        }
        DeleteKey(TRegRoot::LocalMachine, std::wstring(Classes) + L".vuview", TRegView::x64);
    }

    // The installer's places and the shared keys, as they are now.
    static TMachineSnapshot Snapshot(const TInstaller& installer) {
        TMachineSnapshot snapshot;
        snapshot.AddFolder(installer.InstallDir);
        for (const auto& key : installer.Keys)
            snapshot.AddKey(installer.Root, key);
        for (TRegRoot root : {TRegRoot::CurrentUser, TRegRoot::LocalMachine}) {
            snapshot.AddValues(root, RegisteredApplicationsKey);
            snapshot.AddKey(root, VendorKey);
        }
        snapshot.AddKey(TRegRoot::LocalMachine, std::wstring(Classes) + L".vuview");
        return snapshot;
    }

private:
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

// Programs installed by NSIS installers for the user alone and for all users
// (a file type with its ProgID, open-with entries, an Applications key, a
// Default Programs registration) and by an installer package: each is
// installed, uninstalled quietly and its places snapshotted; installed again,
// removed by force and snapshotted again: both snapshots must be equal, a
// neighbour's values in the shared keys untouched. The backup of the forced
// removal then restores the installed program where it was.
TEST(ForceRemoveInstallers, LeavesWhatTheProgramsOwnQuietUninstallLeavesAndItsBackupRestoresThem) {
    const TNeighbour neighbour;
    const TBackupsOn backups;
    TFrontEnd frontEnd;
    ASSERT_TRUE(frontEnd.Loaded) << "the inventory was not read";
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
        frontEnd.Root->RefreshProgramList();
        TComPtr<IForceRemove> removal = frontEnd.ForceRemove(installer.Name);
        ASSERT_CONTROLLER(removal, installer.Name);
        ASSERT_TRUE(Scan(*removal));
        EXPECT_THAT(TLeftovers(*removal).RegEntries, IsSupersetOf(installer.Entries));
        Remove(*removal);
        EXPECT_THAT(uninstalled.DifferencesTo(TNeighbour::Snapshot(installer)), IsEmpty());

        TComPtr<IRekovaSet> set = NewestBackupSet();
        ASSERT_TRUE(set) << "no backup set";
        auto [code, output] = RunProgram(VelmoraExe(), L"restore " + TextOf(set.get(), &IRekovaSet::GetId));
        EXPECT_EQ(code, 0) << output;
        EXPECT_THAT(reinstalled.DifferencesTo(TNeighbour::Snapshot(installer)), IsEmpty());
        UninstallQuietly(installer);
    }
}

} // namespace
