// The registry scanners' rules over a registry of the test's own: two
// programs of one vendor side by side, program A being removed.
#include "FakeRegistry.h"
#include "forceremove/AppFolders.h"
#include "forceremove/AppRegData.h"
#include "forceremove/Autorun.h"
#include "forceremove/ExtData.h"
#include "forceremove/FileList.h"
#include "forceremove/IDList.h"
#include "forceremove/RegList.h"
#include "forceremove/SharedDlls.h"

#include <gmock/gmock.h>

using namespace velmora;
using namespace velmora::testing;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;
using TType = TFakeRegistry::TType;

namespace {

const std::wstring A = L"C:\\Program Files\\Vendor\\A\\";
const std::wstring B = L"C:\\Program Files\\Vendor\\B\\";
const std::wstring MachineRun = L"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const std::wstring UserRun = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
const std::wstring AppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
const std::wstring Classes = L"HKEY_LOCAL_MACHINE\\Software\\Classes\\", Listing = L"(x64)" + Classes;
const std::wstring UserClasses = L"HKEY_CURRENT_USER\\Software\\Classes\\";

class RegistryScannersTest : public ::testing::Test {
protected:
    RegistryScannersTest() { FAppFolders.Add(A); }

    // The listed entries as full paths ("(x64)HKEY_...\Key\" for a whole key).
    std::vector<std::wstring> Listed() const { return Texts(FRegList, &TFRRegEntry::FullPath); }
    void ListFile(const std::wstring& path) {
        FRegistry.AddFile(path);
        FFileList.AddFile(path, 10);
    }
    void RunAppRegData(const std::wstring& appName, const std::wstring& publisher = L"Vendor") {
        TFRAppRegData(
            FFileList, FRegList, appName, publisher, FAppIDs, [this] { ++FChecks; }, FAppFolders, FRegistry)
            .Run();
    }
    void RunExtData() {
        TFRExtData(
            FRegList, FFileList, FAppFolders, FAppIDs, [this] { ++FChecks; }, FCLSIDs, FRegistry)
            .Run();
    }

    TFakeRegistry FRegistry;
    TAppFolders FAppFolders{L"C:\\Windows"};
    TFRSharedDlls FSharedDlls{std::make_unique<TSharedDllMap>()};
    TFRFileList FFileList{FSharedDlls};
    TFRRegList FRegList{true};
    TIDList FAppIDs, FCLSIDs;
    int FChecks = 0;
};

TEST_F(RegistryScannersTest, AutorunListsPlainStringValuesThatRunTheProgram) {
    FRegistry.AddFile(A + L"tray app.exe");
    const std::wstring aExe = L"\"" + A + L"a.exe\"";
    const struct {
        std::wstring Key, Name, Command;
        TType Type;
        bool Listed;
    } cases[] = {
        {MachineRun, L"Quoted", L"\"" + A + L"a.exe\" /tray \"" + B + L"\"", TType::String, true},
        {UserRun, L"Blanks", A + L"tray app.exe -min", TType::String, true},
        {L"(x32)" + MachineRun, L"Redirected", L"\"" + A + L"a32.exe\"", TType::String, true},
        {MachineRun, L"Expandable", aExe, TType::ExpandString, false},
        {MachineRun, L"Other", L"\"" + B + L"b.exe\" \"" + A + L"\"", TType::String, false},
        {MachineRun, L"", aExe, TType::String, false}, // the default value: the Run key stays
        // HKEY_CURRENT_USER\Software is one key in both views: its 32-bit view is not read.
        {L"(x32)" + UserRun, L"Shared", aExe, TType::String, false},
    };
    std::vector<std::wstring> expected;
    for (const auto& c : cases) {
        FRegistry.Set(c.Key, c.Name, c.Command, c.Type);
        if (c.Listed)
            expected.push_back((c.Key.starts_with(L"(") ? L"" : L"(x64)") + c.Key + c.Name);
    }

    TFRAutorun(FAppFolders, FRegList, FRegistry).Run();
    EXPECT_THAT(Listed(), UnorderedElementsAreArray(expected));
}

// Only below the publisher's key by name; right below Software only with a
// path in the program's folders. Never a protected key: "Classes",
// "Microsoft" (a program named "Windows" must not take "Microsoft\\Windows").
TEST_F(RegistryScannersTest, VendorKeysAreFoundBelowThePublishersKeyOrByAPathInTheProgramsFolders) {
    for (auto key :
         {L"Vendor\\Product", L"Vendor\\Vendor Product", L"Vendor Product", L"Other\\Vendor Product",
          L"Third\\vendor product", L"Classes\\Vendor Product", L"Microsoft\\Vendor Product",
          L"Deep\\Er\\Vendor Product", L"Vendor\\Product Tools", L"Other\\Product"})
        for (auto root : {L"HKEY_LOCAL_MACHINE\\Software\\", L"HKEY_CURRENT_USER\\Software\\"})
            FRegistry.Set(root + std::wstring(key), L"Version", L"1");
    FRegistry.Set(L"HKEY_LOCAL_MACHINE\\Software\\Vendor Product", L"InstallDir", A.substr(0, A.size() - 1));
    FRegistry.Set(L"(x32)HKEY_LOCAL_MACHINE\\Software\\Vendor Product", L"InstallDir", B);

    // The publisher "Vendor Inc." names its key by its first word, as the display name does.
    RunAppRegData(L"Vendor Product", L"Vendor Inc.");
    EXPECT_THAT(Listed(),
                UnorderedElementsAre(L"(x64)HKEY_LOCAL_MACHINE\\Software\\Vendor\\Product\\",
                                     L"(x64)HKEY_LOCAL_MACHINE\\Software\\Vendor\\Vendor Product\\",
                                     L"(x64)HKEY_LOCAL_MACHINE\\Software\\Vendor Product\\",
                                     L"(x64)HKEY_CURRENT_USER\\Software\\Vendor\\Product\\",
                                     L"(x64)HKEY_CURRENT_USER\\Software\\Vendor\\Vendor Product\\"));
    EXPECT_GT(FChecks, 0);
}

// A file name alone never ties a key to the program: the key must record the
// program's folder, or name an AppID the class pass attributed.
TEST_F(RegistryScannersTest, KeysNamedLikeAProgramFileAreListedOnlyWhereTheyRecordTheProgramsFolder) {
    // Both programs ship uninst.exe; each registered it with its own folder.
    ListFile(A + L"uninst.exe");
    ListFile(A + L"a.exe");
    ListFile(A + L"setup.exe");
    FRegistry.AddFile(B + L"uninst.exe");
    const std::wstring classes = Classes, machine = L"HKEY_LOCAL_MACHINE\\";
    const std::wstring folders =
        machine + L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
    FRegistry.Set({
        {L"HKEY_CURRENT_USER\\" + AppPaths + L"uninst.exe", L"Path", A.substr(0, A.size() - 1)},
        {machine + AppPaths + L"uninst.exe", L"", L"\"" + B + L"uninst.exe\""},
        {machine + AppPaths + L"uninst.exe", L"Path", A + L";" + B},
        {classes + L"Applications\\uninst.exe\\shell\\open\\command", L"", B + L"uninst.exe /uninstall"},
        {classes + L"Applications\\a.exe\\shell\\open\\command", L"", L"\"" + A + L"a.exe\" \"%1\""},
        {classes + L"Applications\\b.exe\\shell\\open\\command", L"", B + L"b.exe"},
        {classes + L"Applications\\setup.exe", L"FriendlyAppName", L"Setup"},
        {machine + AppPaths + L"setup.exe", L"UseUrl", L"1"},
        // An AppID key records no path: the AppID of a class whose server is A's tells.
        {classes + L"CLSID\\{A1}\\LocalServer32", L"", A + L"a.exe"},
        {classes + L"CLSID\\{A1}", L"AppID", L"{A0}"},
        {classes + L"AppID\\a.exe", L"AppID", L"{A0}"},
        {classes + L"AppID\\{A0}", L"", L"Vendor A service"},
        {classes + L"AppID\\setup.exe", L"AppID", L"{S0}"},
        {classes + L"AppID\\{S0}", L"", L"Another program's setup"},
        {folders, A + L"lib\\", L""},
        {folders, B, L""},
    });

    RunExtData();
    RunAppRegData(L"Vendor A");
    EXPECT_THAT(
        Listed(),
        UnorderedElementsAre(
            Listing + L"CLSID\\{A1}\\", L"(x64)HKEY_CURRENT_USER\\" + AppPaths + L"uninst.exe\\",
            Listing + L"Applications\\a.exe\\", Listing + L"AppID\\a.exe\\", Listing + L"AppID\\{A0}\\",
            L"(x64)HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders\\" +
                A + L"lib\\"));
}

// Classes by their server or their AppID; ProgIDs by their class or a verb
// that runs the program, what extensions record of them and of the classes.
TEST_F(RegistryScannersTest, ProgIDsAndWhatExtensionsRecordOfThemAndOfTheClasses) {
    FAppIDs.Add(L"{A0}");
    FRegistry.AddFile(A + L"ext.dll");
    FRegistry.AddFile(A + L"ext32.dll");
    ListFile(A + L"a.exe");
    ListFile(A + L"uninst.exe");
    FRegistry.Set({
        {Classes + L"CLSID\\{A1}\\LocalServer32", L"", L"\"" + A + L"a.exe\" -Embedding"},
        {Classes + L"CLSID\\{A1}\\InProcServer32", L"", A + L"ext.dll"},
        {Classes + L"CLSID\\{A2}\\InProcServer32", L"", A + L"ext.dll", TType::ExpandString},
        {Classes + L"CLSID\\{A3}", L"AppID", L"{a0}"},
        {L"(x32)" + Classes + L"CLSID\\{A4}\\InProcServer32", L"", A + L"ext32.dll"},
        {Classes + L"CLSID\\{B1}\\LocalServer32", L"", L"\"" + B + L"b.exe\" \"" + A + L"\""},
        {Classes + L"CLSID\\{B2}", L"AppID", L"{B0}"},
        {Classes + L"Vendor.ADoc\\CLSID", L"", L"{a1}"},
        {Classes + L"Vendor.AFile\\Shell\\Open\\Command", L"", L"\"" + A + L"a.exe\" \"%1\""},
        {Classes + L"Vendor.BFile\\Shell\\Edit\\Command", L"", B + L"b.exe \"%1\""},
        {Classes + L"Vendor.AFile\\DefaultIcon", L"", A + L"a.exe,0"},
        // Another's type with one verb that runs A: only that verb goes.
        {Classes + L"Vendor.Shared\\Shell\\Open\\Command", L"", A + L"a.exe \"%1\""},
        {Classes + L"Vendor.Shared\\Shell\\Print\\Command", L"", B + L"b.exe /p \"%1\""},
        {Classes + L"Vendor.Icon\\Shell\\Open\\Command", L"", A + L"a.exe"},
        {Classes + L"Vendor.Icon\\DefaultIcon", L"", B + L"icons.dll,2"},
        {Classes + L".msi", L"", L"Installer.Package"},
        // The 32-bit view shows the same key again: it is listed once.
        {L"(x32)" + Classes + L"Vendor.ADoc\\CLSID", L"", L"{a1}"},
        // .adoc: only A's ProgID value goes; the key and the others' values stay.
        {Classes + L".adoc\\OpenWithProgIds", L"Vendor.Shared", L""},
        {Classes + L".adoc\\OpenWithProgIds", L"vendor.adoc", L""},
        {Classes + L".adoc\\OpenWithProgIds", L"Vendor.BFile", L""},
        // Context-menu handlers: by key name, by default value; B's stays.
        {Classes + L"*\\shellex\\ContextMenuHandlers\\{A1}", L"", L""},
        {Classes + L".adoc\\shellex\\ContextMenuHandlers\\Vendor A", L"", L"{A1}"},
        {Classes + L".adoc\\shellex\\ContextMenuHandlers\\Vendor B", L"", L"{B1}"},
        // Open-with lists, by file name, unless the key records another program's path.
        {Classes + L".txt\\OpenWithList\\a.exe", L"", L""},
        {Classes + L".txt\\OpenWithList\\b.exe", L"", L""},
        {Classes + L".log\\OpenWithList\\uninst.exe\\shell\\open\\command", L"", L"\"" + B + L"uninst.exe\""},
    });
    FRegistry.Share(Classes + L"Vendor.ADoc");
    // The system's own types and protocols, by name or as a system extension's type: nothing of them.
    for (auto system : {L"exefile", L"txtfile", L"http", L"Installer.Package"}) {
        FRegistry.Set(Classes + system + L"\\Shell\\Open\\Command", L"", A + L"a.exe");
        FRegistry.Set(Classes + system + L"\\Shell\\Print\\Command", L"", B + L"b.exe");
    }

    RunExtData();
    EXPECT_THAT(Listed(),
                UnorderedElementsAre(
                    Listing + L"CLSID\\{A1}\\", Listing + L"CLSID\\{A2}\\", Listing + L"CLSID\\{A3}\\",
                    L"(x32)" + Classes + L"CLSID\\{A4}\\", Listing + L"Vendor.ADoc\\",
                    Listing + L"Vendor.AFile\\", Listing + L"Vendor.Shared\\Shell\\Open\\",
                    Listing + L"Vendor.Icon\\Shell\\Open\\", Listing + L".adoc\\OpenWithProgIds\\vendor.adoc",
                    Listing + L"*\\shellex\\ContextMenuHandlers\\{A1}\\",
                    Listing + L".adoc\\shellex\\ContextMenuHandlers\\Vendor A\\",
                    Listing + L".txt\\OpenWithList\\a.exe\\"));
    for (auto clsid : {L"{a1}", L"{A2}", L"{A3}", L"{A4}"})
        EXPECT_TRUE(FCLSIDs.Exists(clsid)) << clsid;
    EXPECT_FALSE(FCLSIDs.Exists(L"{B1}"));
    EXPECT_GT(FChecks, 0);
}

// A per-user program's registration lives in the user's classes, which
// HKEY_CLASSES_ROOT merges over the machine's: read there, listed there, with
// the same rules; the machine's keys of the same names are judged on their own.
TEST_F(RegistryScannersTest, TheUsersClassesAndDefaultProgramsRegistrationAreListedWhereTheyAre) {
    ListFile(A + L"a.exe");
    const std::wstring aExe = L"\"" + A + L"a.exe\" \"%1\"";
    const std::wstring registered = L"Software\\RegisteredApplications";
    const std::wstring capabilities = L"Software\\Classes\\Applications\\a.exe\\Capabilities";
    FRegistry.Set({
        {UserClasses + L"Vendor.AFile\\DefaultIcon", L"", A + L"a.exe,0"},
        {UserClasses + L"Vendor.AFile\\shell\\edit\\command", L"", aExe},
        {UserClasses + L".afile", L"", L"Vendor.AFile"},
        {UserClasses + L".afile\\OpenWithList\\a.exe", L"", L""},
        {UserClasses + L".afile\\OpenWithProgids", L"Vendor.AFile", L""},
        {UserClasses + L"Applications\\a.exe\\shell\\open\\command", L"", aExe},
        {UserClasses + L"Applications\\a.exe\\SupportedTypes", L".afile", L""},
        {UserClasses + L"Applications\\a.exe\\Capabilities\\FileAssociations", L".afile", L"Vendor.AFile"},
        {L"HKEY_CURRENT_USER\\" + registered, L"Vendor A", capabilities},
        // Neighbours: another program's registration; the machine's type of
        // the same name running B; extensions naming A's type beside what is
        // not A's; the machine's value naming a key of the machine that is not A's.
        {L"HKEY_CURRENT_USER\\" + registered, L"Other", L"Software\\Other\\Capabilities"},
        {L"HKEY_CURRENT_USER\\" + registered, L"Rooted", L"\\" + capabilities},
        {L"HKEY_LOCAL_MACHINE\\" + registered, L"Vendor A", capabilities},
        {Classes + L"Vendor.AFile\\shell\\open\\command", L"", B + L"b.exe \"%1\""},
        {Classes + L".afile", L"", L"Vendor.AFile"},
        {Classes + L".afile\\OpenWithProgids", L"Vendor.BFile", L""},
        // The machine's extension of nothing else but the type's name: its
        // type is the machine's Vendor.AFile, B's, not the user's.
        {Classes + L".bfile", L"", L"Vendor.AFile"},
        {UserClasses + L".typed", L"", L"Vendor.AFile"},
        {UserClasses + L".typed", L"PerceivedType", L"text"},
        {UserClasses + L".listed", L"", L"Vendor.AFile"},
        {UserClasses + L".listed\\OpenWithList\\b.exe", L"", L""},
    });

    RunExtData();
    RunAppRegData(L"Vendor A");
    FRegList.Compact();
    const std::wstring user = L"(x64)" + UserClasses;
    EXPECT_THAT(Listed(), UnorderedElementsAre(user + L"Vendor.AFile\\", user + L".afile\\",
                                               user + L"Applications\\a.exe\\",
                                               L"(x64)HKEY_CURRENT_USER\\" + registered + L"\\Vendor A"));
}

} // namespace
