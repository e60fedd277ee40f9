// The servicing machine as the servicing tool doubles see it: the feature
// table they print and the answer files they apply, run as the library runs
// them (a child process, output through a pipe).
#include "tests/features/ServicingMachine.h"

#include "platform/ChildProcess.h"
#include "platform/Format.h"
#include "platform/Module.h"
#include "platform/Paths.h"
#include "platform/Pipes.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace velmora;
using namespace velmora::testing;

namespace {

const std::wstring kGetFeatures = L"DISM.exe /Online /English /Get-Features /Format:Table";

// The "name | state" rows of the feature table, in order.
std::vector<std::string> TableRows(const std::string& output) {
    std::vector<std::string> rows;
    size_t separators = 0;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with("---"))
            ++separators;
        else if (separators == 2 && line.find(" | ") != std::string::npos)
            rows.push_back(line.substr(0, line.find(' ')) + " | " + line.substr(line.find(" | ") + 3));
    }
    return rows;
}

// An answer file as the library writes it: one "configure" package with the
// given selections.
std::wstring WriteAnswerFile(const std::vector<std::pair<std::wstring, bool>>& selections) {
    std::wstring path = TempFolder() + L"\\velmora-servicing-test.xml";
    std::wstring xml =
        L"<?xml version=\"1.0\"?>\r\n<unattend><servicing><package action=\"configure\">"
        L"<assemblyIdentity name=\"Microsoft-Windows-Foundation-Package\" version=\"6.1.7601.17514\" "
        L"language=\"neutral\" processorArchitecture=\"amd64\" publicKeyToken=\"0123456789abcdef\" "
        L"versionScope=\"nonSxS\"/>";
    for (const auto& [name, state] : selections)
        xml += Format(L"<selection name=\"%s\" state=\"%s\"/>", name, state ? L"true" : L"false");
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        << Narrow(xml + L"</package></servicing></unattend>\r\n");
    return path;
}

class ServicingMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        TServicingPackage foundation;
        foundation.Name = L"Microsoft-Windows-Foundation-Package";
        foundation.Updates = {{L"VelmoraGames", L"Games", L"Games for the desk", {}, true, true},
                              {L"VelmoraChess", L"Chess", L"", L"VelmoraGames"},
                              {L"VelmoraTelnetClient", L"Telnet client", L"", L"", false}};
        foundation.States = {{L"VelmoraGames", 1}, {L"VelmoraChess", 6}, {L"VelmoraTelnetClient", 0}};
        foundation.InstallTime = FILETIME{0xd5a3e000, 0x01cb3ad2};
        foundation.InstallUser = L"S-1-5-18";
        foundation.Trusted = true;
        Foundation = Machine.AddPackage(foundation);

        // Localized texts of the same updates: no features of their own.
        TServicingPackage localized = foundation;
        localized.Locale = L"en-US";
        localized.States = {{L"VelmoraChess", 1}};
        Machine.AddPackage(localized);

        // A state without a manifest declaring it, and a manifest without states.
        TServicingPackage orphan;
        orphan.Name = L"Velmora-Orphan-Package";
        orphan.WriteManifest = false;
        orphan.States = {{L"VelmoraOrphan", 1}};
        Machine.AddPackage(orphan);
        TServicingPackage fax;
        fax.Name = L"Velmora-Fax-Package";
        fax.Updates = {{L"VelmoraFax", L"Fax", L""}};
        Machine.AddPackage(fax);

        Machine.InstallDoubles();
    }

    TServicingMachine Machine;
    std::wstring Foundation;
};

} // namespace

TEST_F(ServicingMachineTest, TheFeatureTableListsTheDeclaredUpdatesOfNeutralPackagesWithTheirStates) {
    TToolRun run = RunTool(kGetFeatures);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_NE(run.Output.find("Features listing for package : " + Narrow(Foundation)), std::string::npos)
        << run.Output;
    EXPECT_EQ(TableRows(run.Output),
              (std::vector<std::string>{"VelmoraChess | Enable Pending", "VelmoraGames | Enabled",
                                        "VelmoraTelnetClient | Disabled"}))
        << run.Output;
    EXPECT_NE(run.Output.find("The operation completed successfully."), std::string::npos);

    run = RunTool(L"DISM.exe /Online /Get-Packages");
    EXPECT_EQ(run.ExitCode, 87u);
    EXPECT_NE(run.Output.find("\r\nError: 87\r\n"), std::string::npos) << run.Output;
}

TEST_F(ServicingMachineTest, AProvisionedAppPackageIsRemovedOnceThenUnknown) {
    const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Appx\\AppxAllUserStore\\"
                             L"Applications\\Velmora.Notes_1.0.0.0_x64__v1";
    TRegKey::Create(HKEY_LOCAL_MACHINE, key, KEY_WRITE | KEY_WOW64_64KEY)
        .WriteString(L"Path", L"C:\\ProgramData\\Velmora\\Notes.xml");
    const std::wstring remove =
        L"DISM.exe /Online  /Remove-ProvisionedAppxPackage /PackageName:Velmora.Notes_1.0.0.0_x64__v1";
    TToolRun run = RunTool(remove);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_NE(run.Output.find("100.0%"), std::string::npos) << run.Output;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, TRegView::x64));
    run = RunTool(remove);
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_NE(run.Output.find("\r\nError: 2\r\n"), std::string::npos) << run.Output;
}

TEST_F(ServicingMachineTest, AnAnswerFileSwitchesItsSelectionsWhileTheTableWaits) {
    // Enabling a feature the registry has no state for takes its declaring package.
    // A state the localized package also carries goes to the neutral one.
    std::wstring answers =
        WriteAnswerFile({{L"VelmoraGames", false}, {L"VelmoraFax", true}, {L"VelmoraChess", false}});
    std::optional<TRunningTool> apply = StartTool(L"DISM.exe /Online /Apply-Unattend:\"" + answers + L"\"");
    ASSERT_TRUE(apply);
    // While it works (its progress has begun), a feature query is told to come back.
    ASSERT_TRUE(apply->WaitForOutput(" 0.0%")) << apply->Output;
    TToolRun busy = RunTool(kGetFeatures);
    EXPECT_EQ(busy.ExitCode, 183u);
    EXPECT_NE(busy.Output.find("\r\nError: 183\r\n"), std::string::npos) << busy.Output;

    TToolRun run = apply->Wait();
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_GE(run.Milliseconds, 1400u);
    EXPECT_NE(run.Output.find("100.0%"), std::string::npos) << run.Output;
    EXPECT_EQ(Machine.UpdateState(L"VelmoraGames"), 0u);
    EXPECT_EQ(Machine.UpdateState(L"VelmoraFax"), 1u);
    run = RunTool(kGetFeatures);
    EXPECT_EQ(TableRows(run.Output),
              (std::vector<std::string>{"VelmoraChess | Disabled", "VelmoraFax | Enabled",
                                        "VelmoraGames | Disabled", "VelmoraTelnetClient | Disabled"}))
        << run.Output;

    // The package manager applies the same files; one unknown name changes nothing.
    answers = WriteAnswerFile({{L"VelmoraGames", true}, {L"VelmoraNoSuchFeature", true}});
    run = RunTool(L"PkgMgr.exe /n:\"" + answers + L"\"");
    EXPECT_EQ(run.ExitCode, 0x800f080cu);
    EXPECT_NE(run.Output.find("\r\nError: 0x800f080c\r\n"), std::string::npos) << run.Output;
    EXPECT_EQ(Machine.UpdateState(L"VelmoraGames"), 0u);
    answers = WriteAnswerFile({{L"VelmoraGames", true}});
    EXPECT_EQ(RunTool(L"PkgMgr.exe /n:\"" + answers + L"\"").ExitCode, 0u);
    EXPECT_EQ(Machine.UpdateState(L"VelmoraGames"), 1u);
    DeleteFileW(answers.c_str());
}

namespace {

// Two installed packages, one of them permanent, as servicing data records them.
struct TInstalledPackages {
    std::wstring Removable, Permanent;
};
TInstalledPackages AddInstalledPackages(TServicingMachine& machine) {
    TServicingPackage package;
    package.Name = L"Velmora-Removable-Package";
    package.ReleaseType = L"Update";
    package.DisplayName = L"Velmora removable update";
    package.CurrentState = 0x70;
    TInstalledPackages added;
    added.Removable = machine.AddPackage(package);
    package.Name = L"Velmora-Permanent-Package";
    package.DisplayName = L"Velmora permanent update";
    package.Permanence = L"permanent";
    added.Permanent = machine.AddPackage(package);
    return added;
}

} // namespace

TEST_F(ServicingMachineTest, RemovingAPackageRefusesUnknownAndPermanentOnesAndRecordsTheOthersAbsent) {
    TInstalledPackages packages = AddInstalledPackages(Machine);
    const std::wstring remove = L"DISM.exe /Online /Remove-Package /PackageName:";
    TToolRun run = RunTool(remove + L"Velmora-No-Such-Package~0123456789abcdef~amd64~~1.0.0.0");
    EXPECT_EQ(run.ExitCode, 0x800f0805u);
    EXPECT_NE(run.Output.find("\r\nError: 0x800f0805\r\n"), std::string::npos) << run.Output;
    run = RunTool(remove + packages.Permanent);
    EXPECT_EQ(run.ExitCode, 0x800f0825u);
    EXPECT_NE(run.Output.find("\r\nError: 0x800f0825\r\n"), std::string::npos) << run.Output;
    EXPECT_EQ(TServicingMachine::PackageState(packages.Permanent), 0x70u);

    run = RunTool(remove + packages.Removable);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_GE(run.Milliseconds, 1400u);
    EXPECT_NE(run.Output.find("100.0%"), std::string::npos) << run.Output;
    EXPECT_EQ(TServicingMachine::PackageState(packages.Removable), 0u);
    EXPECT_EQ(RunTool(remove + packages.Removable).ExitCode, 0x800f0805u) << "removed already";

    // The package manager of Vista removes the same way.
    TServicingPackage other;
    other.Name = L"Velmora-Other-Removable-Package";
    other.CurrentState = 0x70;
    const std::wstring otherKey = Machine.AddPackage(other);
    EXPECT_EQ(RunTool(L"PkgMgr.exe /up:" + packages.Permanent).ExitCode, 0x800f0825u);
    run = RunTool(L"PkgMgr.exe /up:" + otherKey);
    EXPECT_EQ(run.ExitCode, 0u) << run.Output;
    EXPECT_EQ(TServicingMachine::PackageState(otherKey), 0u);
}

TEST(ServicingMachine, ClearLeavesNoTraceOfThePackagesOrTheDoubles) {
    const std::wstring dism = SystemFolderWithBackslash() + L"DISM.exe";
    const bool systemHadDism = FileExists(dism);
    std::wstring key;
    {
        TServicingMachine machine;
        TServicingPackage package;
        package.Name = L"Velmora-Cleared-Package";
        package.Updates = {{L"VelmoraCleared", L"Cleared", L""}};
        package.States = {{L"VelmoraCleared", 1}};
        key = machine.AddPackage(package);
        machine.AddDetectedUpdate(L"VelmoraCleared");
        machine.InstallDoubles();
        EXPECT_EQ(machine.UpdateState(L"VelmoraCleared"), 1u);
    }
    EXPECT_FALSE(FileExists(TServicingMachine::ManifestPath(key)));
    EXPECT_EQ(FileExists(dism), systemHadDism);
    EXPECT_FALSE(
        TRegKey::Open(TRegRoot::CurrentUser, L"Software\\Wine\\DllOverrides").ValueExists(L"dism.exe"));
    EXPECT_FALSE(KeyExists(
        TRegRoot::LocalMachine,
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\Packages\\" + key,
        TRegView::x64));
    EXPECT_FALSE(
        KeyExists(TRegRoot::LocalMachine,
                  L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\UpdateDetect\\"
                  L"VelmoraCleared",
                  TRegView::x64));
}

// The console front end on the same machine: it loads the library, which
// picks the servicing engine for this Windows, reads the table and switches
// a feature through the packaging tool.
TEST_F(ServicingMachineTest, TheConsoleFrontEndListsTheTreeAndSwitchesAFeature) {
    const std::wstring velmora = L"\"" + ExtractFilePath(ModuleFileName(nullptr)) + L"velmora.exe\" ";
    TToolRun tree = RunTool(velmora + L"features --tree");
    EXPECT_EQ(tree.ExitCode, 0u) << tree.Output;
    EXPECT_NE(tree.Output.find("VelmoraGames"), std::string::npos) << tree.Output;
    size_t games = tree.Output.find("VelmoraGames"), chess = tree.Output.find("VelmoraChess");
    ASSERT_NE(chess, std::string::npos) << tree.Output;
    EXPECT_LT(games, chess) << "a child below its parent";
    EXPECT_EQ(tree.Output.find("Velmora-Orphan"), std::string::npos);

    TToolRun enable = RunTool(velmora + L"feature enable VelmoraTelnetClient");
    EXPECT_EQ(enable.ExitCode, 0u) << enable.Output;
    EXPECT_EQ(Machine.UpdateState(L"VelmoraTelnetClient"), 1u);
    EXPECT_EQ(RunTool(velmora + L"feature enable VelmoraNoSuchFeature").ExitCode, 17u);

    TToolRun json = RunTool(velmora + L"features --json");
    EXPECT_NE(json.Output.find("\"name\": \"VelmoraTelnetClient\""), std::string::npos) << json.Output;
}
