// The registry location's rules: its temporary records and the servicing
// packages' states and manifests.
#include "locations/ProductList.h"
#include "locations/ServicingPackageRules.h"
#include "tests/TestBase.h"

namespace velmora {
namespace {

// Records keyed by paths of one root.
TTemporaryInfo* Add(TProductList& list, std::wstring name, std::wstring guid,
                    std::vector<std::wstring> keyPaths = {}, std::wstring internalName = {}) {
    auto info = std::make_unique<TTemporaryInfo>();
    info->FDisplayName = std::move(name);
    info->FGUID = std::move(guid);
    for (auto& path : keyPaths)
        info->FRegistryKeys.push_back({TRegView::Default, TRegRoot::LocalMachine, std::move(path)});
    info->FInternalName = std::move(internalName);
    TTemporaryInfo* added = list.Add(std::move(info));
    list.Map(added->FGUID, added);
    return added;
}

std::vector<std::wstring> KeyPaths(const TTemporaryInfo& info) {
    std::vector<std::wstring> paths;
    for (const auto& key : info.FRegistryKeys)
        paths.push_back(key.Path);
    return paths;
}

const std::wstring CodeA = L"{11111111-2222-3333-4444-555555555555}";
const std::wstring CodeB = L"{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

TEST(UpdateKeyMatching, KBNumbersNeedFourDigitsAndMatchNamesCaseSensitively) {
    // Prefixes are dropped and the number ends at the first non-digit.
    std::vector<std::wstring> numbers;
    for (auto key : {L"Updates\\Windows XP\\SP3\\KB958644", L"HotFix\\Q828741", L"HotFix\\KB925398-v2",
                     L"HotFix\\KB12KB34", L"Updates\\SP3-KB1234"})
        numbers.push_back(ExtractKBNumber(key));
    EXPECT_EQ(numbers, (std::vector<std::wstring>{L"958644", L"828741", L"925398", L"1234", L""}));

    TProductList programs, updates;
    Add(programs, L"Hotfix for Windows (KB123)", L"");
    Add(programs, L"Security Update (kb9876543)", L"");
    Add(programs, L"Other", L"", {}, L"KB9876543");
    EXPECT_EQ(FindByKBNumber(programs, updates, L"HotFix\\KB123"), nullptr);
    TTemporaryInfo* moved = FindByKBNumber(programs, updates, L"HotFix\\KB9876543");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->FDisplayName, L"Security Update (kb9876543)");
    // The update now holding it is found before the remaining program.
    EXPECT_EQ(FindByKBNumber(programs, updates, L"Q9876543"), moved);
    EXPECT_EQ(programs.Count(), 2u);
}

TEST(MergeUpdates, AnUpdateAbsorbsTheProgramWithItsNameAndCode) {
    TProductList programs, updates;
    Add(programs, L"Service Pack 1", CodeA, {L"K1", L"K2"});
    Add(programs, L"Service Pack 1", CodeB, {L"K3"});
    Add(programs, L"Unrelated", L"", {L"K4"});
    TTemporaryInfo* update = Add(updates, L"service pack 1", CodeA, {L"k2"});
    TTemporaryInfo* noCode = Add(updates, L"unrelated", L"", {L"K5"});
    MergeUpdates(programs, updates);
    // Keys are kept once without regard to case.
    EXPECT_EQ(KeyPaths(*update), (std::vector<std::wstring>{L"k2", L"K1"}));
    EXPECT_EQ(KeyPaths(*noCode), (std::vector<std::wstring>{L"K5", L"K4"}));
    ASSERT_EQ(programs.Count(), 1u);
    EXPECT_EQ(programs[0].FGUID, CodeB);
}

// Installed states are listed, only the changeable ones (with such owners)
// uninstallable; other states and unshifted values are not listed.
// Permanence is matched without case.
TEST(ServicingPackageRules, StatesDecideListingAndUninstallAndPermanenceIgnoresCase) {
    for (uint32_t state : {0x60u, 0x70u, 0x160u, 6u, 7u})
        for (uint32_t owner : {0x60u, 0x70u, UnownedPackageState})
            EXPECT_EQ(InstalledPackageUninstallable(state, owner), true) << state << " " << owner;
    // Staged and superseded packages, or such owners, stay listed but fixed.
    for (auto [state, owner] : {std::pair{0x40u, 0x70u}, {0x80u, 0x70u}, {0x70u, 0x40u}, {0x60u, 0x80u}})
        EXPECT_EQ(InstalledPackageUninstallable(state, owner), false) << state << " " << owner;
    for (uint32_t state : {0x00u, 0x05u, 0x20u, 0x50u, 0x65u, 0x67u, 0x90u, 0xFFFFFFF0u})
        EXPECT_EQ(InstalledPackageUninstallable(state, UnownedPackageState), std::nullopt) << state;
    EXPECT_EQ(InstalledPackageUninstallable(0x70, 0x65), std::nullopt);
    EXPECT_EQ(InstalledPackageUninstallable(0x70, 0), std::nullopt);
    EXPECT_TRUE(IsPermanentPackage(L"permanent") && IsPermanentPackage(L"Permanent"));
    EXPECT_FALSE(IsPermanentPackage(L"removable") || IsPermanentPackage(L""));
}

// The manifest scanner: a package's texts and identity, the packages its
// updates contain, entities; what is not a well-formed "assembly" tree (or
// is in another encoding) is nothing.
TEST(ServicingPackageRules, AManifestGivesItsTextsIdentityAndContainedPackages) {
    const std::string text =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- a <comment> -->\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v3\" displayName=\"R&amp;D &#x4E2D;&#8364;\" "
        "company='Velmora'>\r\n  <assemblyIdentity name=\"Rollup\" version=\"6.1.0.0\" "
        "language=\"neutral\"/>\r\n"
        "  <assemblyIdentity name=\"Second\"/>\r\n"
        "  <package identifier=\"KB1\" releaseType=\"Update\" permanence=\"permanent\">\r\n"
        "    <update name=\"a\"><package integrate=\"hidden\"><assemblyIdentity "
        "name=\"Part\"/></package></update>\r\n"
        "    <UPDATE name=\"b\"><package><assemblyIdentity name=\"Other\"/></package></UPDATE>\r\n"
        "    <update name=\"c\"><component/></update><![CDATA[<update>]]>\r\n"
        "  </package>\r\n</assembly>\r\n";
    std::optional<TServicingManifest> manifest = ParseServicingManifest(text);
    ASSERT_TRUE(manifest);
    // Texts, identity (the first one) and package, each of its own attribute.
    const TServicingManifest& m = *manifest;
    using Text = std::optional<std::wstring>;
    EXPECT_EQ((std::vector{m.DisplayName, m.Company, m.Description, m.SupportInformation, m.Name, m.Version,
                           m.Language, m.Identifier, m.ReleaseType, m.Permanence}),
              (std::vector<Text>{L"R&D \u4E2D\u20AC", L"Velmora", std::nullopt, std::nullopt, L"Rollup",
                                 L"6.1.0.0", L"neutral", L"KB1", L"Update", L"permanent"}));
    EXPECT_EQ(manifest->ContainedPackages, (std::vector<std::wstring>{L"Part", L"Other"}));

    for (const char* broken : {"", "<package/>", "<assembly>", "<assembly></package>", "<assembly a=\"1/>",
                               "<assembly a=\"&bogus;\"/>", "<assembly/><assembly/>",
                               "<assembly><!-- </assembly>", "\xFF\xFE<\0a\0/\0>\0"})
        EXPECT_EQ(ParseServicingManifest(broken), std::nullopt) << broken;
    EXPECT_TRUE(ParseServicingManifest("<assembly/>"));
}

} // namespace
} // namespace velmora
