// Servicing packages among the installed updates, on a machine whose
// servicing folder and registry the test lays out.
#include "tests/features/ServicingMachine.h"
#include "tests/kits/LibraryRoot.h"

#include "inventory/ItemProgram.h"
#include "locations/LocationVistaUpdate.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "tests/TestBase.h"

#include <regex>

namespace velmora::testing {
namespace {

constexpr wchar_t Prefix[] = L"Velmora-Update-Test-";
constexpr wchar_t PackagesKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\Packages\\";

struct TListed {
    std::wstring DisplayName;
    bool Uninstallable = false;
    bool operator==(const TListed&) const = default;
};

void PrintTo(const TListed& listed, std::ostream* out) {
    *out << Narrow(listed.DisplayName) << (listed.Uninstallable ? " (uninstallable)" : " (kept)");
}

// The test's packages among the updates, by package name without the prefix.
std::map<std::wstring, TListed> ListedPackages(IProductCollection& updates) {
    std::map<std::wstring, TListed> listed;
    for (TComPtr<IProduct>& product : Products(updates))
        if (std::wstring id = InfoText(*product, piUpdateID); id.starts_with(Prefix))
            listed[id.substr(std::size(Prefix) - 1)] = {
                InfoText(*product, piDisplayName),
                (product->GetPossibleActions() & ActionBit(TPossibleActions::paUninstall)) != 0};
    return listed;
}

TComPtr<IProduct> FindPackage(IProductCollection& updates, const std::wstring& name) {
    return FindProduct(updates, piUpdateID, Prefix + name, std::equal_to<>());
}

TServicingPackage Package(const std::wstring& name, const std::wstring& releaseType, DWORD state,
                          std::wstring identifier = {}, std::optional<std::wstring> displayName = {}) {
    TServicingPackage package;
    package.Name = Prefix + name;
    package.ReleaseType = releaseType;
    package.CurrentState = state;
    package.Identifier = std::move(identifier);
    package.DisplayName = std::move(displayName);
    return package;
}

class VistaUpdates : public ::testing::Test {
protected:
    void SetUp() override {
        TServicingPackage security = Package(L"Security", L"Security Update", 0x70, L"KB2000001", L"default"),
                          rollup = Package(L"Rollup", L"Update Rollup", 0x60, L"", L"Velmora rollup"),
                          foreign = Package(L"ForeignOwner", L"Update", 0x70);
        security.InstallLocation = InstallFolder;
        security.InstallTime = InstallTime;
        rollup.ContainedPackages = {Prefix + std::wstring(L"Part")};
        foreign.Owners = {{L"Velmora-Other-Package~0123456789abcdef~amd64~~1.0.0.0", 0x70}};
        // The foreign owner's package and those without a known release type
        // are not installed as far as the servicing registry or the manifest tell.
        for (const TServicingPackage& package :
             {security, Package(L"Staged", L"Update", 0x40, L"KB2000003"), rollup,
              Package(L"Part", L"Update", 0x70), foreign, Package(L"NoReleaseType", L"", 0x70),
              Package(L"NoneReleaseType", L"none", 0x70),
              Package(L"UnknownReleaseType", L"Bogus Update", 0x70)})
            Machine.AddPackage(package);
        Machine.InstallDoubles();

        ASSERT_TRUE(Lib.Read(std::chrono::seconds(60)));
        // The read ends with the feature engine's; the engine's query of the
        // packaging tool must not run alongside a removal.
        TComPtr<IFeatures> features;
        Lib.Root->GetFeatures(features.put());
        ASSERT_TRUE(features);
        ASSERT_TRUE(WaitUntil([&] { return features->GetReadState() == TReadState::rsLoaded; },
                              std::chrono::seconds(60)));
    }
    TServicingMachine Machine;
    static constexpr wchar_t InstallFolder[] = L"C:\\Windows\\servicing\\Velmora";
    static constexpr FILETIME InstallTime{0xd5a3e000, 0x01cb3ad2};
    TLibraryRoot Lib; // released before the machine is cleared
};

TEST_F(VistaUpdates, InstalledPackagesAreListedWithNamesAndWhetherTheyCanBeUninstalled) {
    // Packages of an Owners key without their own value, of a missing,
    // "none" or unknown release type, and a package that another one
    // contains are not listed.
    EXPECT_EQ(ListedPackages(*Lib.Updates),
              (std::map<std::wstring, TListed>{
                  {L"Rollup", {L"Velmora rollup", true}},
                  {L"Security", {L"Security Update for Microsoft Windows (KB2000001)", true}},
                  {L"Staged", {L"Update for Microsoft Windows (KB2000003)", false}},
              }));

    // One package's details: the manifest's identity and release type, the
    // registry's folder and install time.
    TComPtr<IProduct> security = FindPackage(*Lib.Updates, L"Security");
    ASSERT_TRUE(security);
    EXPECT_EQ(InfoText(*security, piDisplayVersion), L"6.1.7601.17514");
    EXPECT_EQ(InfoText(*security, piInstallLocation), InstallFolder);
    EXPECT_EQ(InfoNumber(*security, piReleaseType), static_cast<int>(TReleaseType::rtSecurityUpdate));
    ASSERT_TRUE(InfoDate(*security, piInstallDate));
    EXPECT_NEAR(*InfoDate(*security, piInstallDate), FileTimeToLocalDate(InstallTime).value_or(0),
                1.0 / 86400);
    // Without an install time the package key's write time stands in.
    TComPtr<IProduct> staged = FindPackage(*Lib.Updates, L"Staged");
    ASSERT_TRUE(staged);
    ASSERT_TRUE(InfoDate(*staged, piInstallDate));
    EXPECT_NEAR(*InfoDate(*staged, piInstallDate), NowOleDate(), 1.0 / 24) << "laid out by this test";
}

// The location's own watch: a change that only the servicing folder sees is
// reported, and the polls after it stay quiet; the registry watch it left
// armed still sees changes, and is armed again after each.
TEST(VistaUpdateWatch, EachChangeIsReportedAndThePollsAfterItAreQuiet) {
    TServicingMachine machine;
    const std::wstring key = machine.AddPackage(Package(L"Watched", L"Update", 0x70));
    TLocationVistaUpdate location;
    auto quiet = [&] {
        for (int poll = 0; poll < 5; ++poll) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (location.IsChanged())
                return false;
        }
        return true;
    };
    EXPECT_TRUE(quiet());
    const std::wstring folder = WindowsFolder() + L"\\servicing\\Packages\\Velmora-Watch-Test";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5)));
    RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(quiet()) << "after a change of the folder alone";
    for (DWORD state : {0x60, 0x70}) {
        EXPECT_TRUE(TRegKey::Open(TRegRoot::LocalMachine, PackagesKey + key, KEY_WRITE, TRegView::x64)
                        .WriteNumber(L"CurrentState", state));
        EXPECT_TRUE(WaitUntil([&] { return location.IsChanged(); }, std::chrono::seconds(5))) << state;
        EXPECT_TRUE(quiet()) << state;
    }
}

TEST_F(VistaUpdates, TheConsoleFrontEndListsThePackagesWithWhetherTheyCanBeUninstalled) {
    // From Windows 7 on the front end's read also starts the feature query,
    // which the list does not wait for: the query's console must not keep
    // this test's output open once the list has ended.
    auto [code, output] = RunProgram(ThisModuleFolder() + L"velmora.exe", L"list --updates");
    EXPECT_EQ(code, 0) << output;
    // The last column of a package's row tells whether it can be uninstalled.
    auto row = [&](const char* name, const char* last) {
        return std::regex_search(output,
                                 std::regex(Narrow(Prefix) + name + " [^\\n]* " + last + "[ \\r]*(\\n|$)"));
    };
    EXPECT_TRUE(row("Security", "yes")) << output;
    EXPECT_TRUE(row("Staged", "no")) << output;
    EXPECT_EQ(output.find(Narrow(Prefix) + "Part"), std::string::npos) << output;
}

} // namespace
} // namespace velmora::testing
