// The product item's rules over already-read uninstall data: which actions a
// product offers, the command each runs, the version and date rules and the
// information table.
#include "inventory/ItemProduct.h"

#include <gtest/gtest.h>

#include <set>

namespace velmora {
namespace {

class TDataItem : public TItemProduct {
public:
    TDataItem() : TItemProduct(nullptr) {}
    using TItemProduct::AddCommandActions;
    using TItemProduct::FCmdModify;
    using TItemProduct::FCmdRepair;
    using TItemProduct::FCmdUninstall;
    using TItemProduct::FCmdUninstallQuiet;
    using TItemProduct::FDisplayName;
    using TItemProduct::FEstimatedSize;
    using TItemProduct::FGUID;
    using TItemProduct::FInstallDate;
    using TItemProduct::FIsWinInstaller;
    using TItemProduct::FLanguage;
    using TItemProduct::FPublisher;

protected:
    void ReadFastData() override {}
};

TPossibleActionsSet Set(std::initializer_list<TPossibleActions> actions) {
    TPossibleActionsSet set = 0;
    for (auto a : actions)
        set |= ActionBit(a);
    return set;
}

using enum TPossibleActions;

auto ExistsOnly(std::set<std::wstring> files) {
    return [files](const std::wstring& command) { return files.count(command) != 0; };
}

TEST(ItemProductActions, InstallerManagedOffersWhatItsFlagsAllow) {
    TDataItem item;
    item.FCmdUninstall = L"MsiExec.exe /X{A}";
    item.AddCommandActions({.NoModify = true, .WindowsInstaller = true}, ExistsOnly({}));
    EXPECT_EQ(item.PossibleActions(), Set({paUninstall, paRepair}));
    EXPECT_TRUE(item.FIsWinInstaller);
}

TEST(ItemProductActions, QuietUninstallNeedsItsProgramUnlessInstallerManaged) {
    TDataItem plain;
    plain.FCmdUninstallQuiet = L"q.exe /S";
    plain.AddCommandActions({}, ExistsOnly({}));
    EXPECT_EQ(plain.PossibleActions() & ActionBit(paUninstallQuiet), 0);
    plain.AddCommandActions({}, ExistsOnly({L"q.exe /S"}));
    EXPECT_NE(plain.PossibleActions() & ActionBit(paUninstallQuiet), 0);

    TDataItem managed;
    managed.FCmdUninstallQuiet = L"q.exe /S";
    managed.AddCommandActions({.WindowsInstaller = true}, ExistsOnly({}));
    EXPECT_NE(managed.PossibleActions() & ActionBit(paUninstallQuiet), 0);
}

TEST(ItemProductActions, LoneUninstallerOffersModifyRemoveEvenWhenItsFileIsMissing) {
    TDataItem item;
    item.FCmdUninstall = L"C:\\App\\unins000.exe";
    item.AddCommandActions({}, ExistsOnly({}));
    EXPECT_EQ(item.PossibleActions(), Set({paModifyRemove}));
    EXPECT_FALSE(item.FIsWinInstaller);

    TDataItem noRemove;
    noRemove.FCmdUninstall = L"C:\\App\\unins000.exe";
    noRemove.AddCommandActions({.NoRemove = true}, ExistsOnly({}));
    EXPECT_EQ(noRemove.PossibleActions(), 0);

    TDataItem noRepair;
    noRepair.FCmdUninstall = L"C:\\App\\unins000.exe";
    noRepair.AddCommandActions({.NoRepair = true}, ExistsOnly({L"C:\\App\\unins000.exe"}));
    EXPECT_EQ(noRepair.PossibleActions(), Set({paUninstall}));
}

TEST(ItemProductActions, SeparateCommandsOfferEachAllowedAction) {
    TDataItem item;
    item.FCmdUninstall = L"u.exe";
    item.FCmdModify = L"m.exe";
    item.FCmdRepair = L"r.exe";
    item.AddCommandActions({.NoRepair = true}, ExistsOnly({}));
    EXPECT_EQ(item.PossibleActions(), Set({paModify}));
    item.AddCommandActions({}, ExistsOnly({L"u.exe"}));
    EXPECT_EQ(item.PossibleActions(), Set({paUninstall, paModify, paRepair}));
}

TEST(ItemProductCommands, InstallerManagedProductsRunTheInstallerWithTheirKeyName) {
    TDataItem item;
    item.FGUID = L"{11111111-2222-3333-4444-555555555555}";
    item.FIsWinInstaller = true;
    item.FCmdUninstall = L"own.exe";
    item.FCmdUninstallQuiet = L"own.exe /quiet";
    EXPECT_EQ(item.GetActionCommand(paUninstall), L"msiexec.exe /x {11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(item.GetActionCommand(paModify), L"msiexec.exe /i {11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(item.GetActionCommand(paRepair), L"msiexec.exe /fa {11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(item.GetActionCommand(paModifyRemove),
              L"msiexec.exe /i {11111111-2222-3333-4444-555555555555}");
    EXPECT_EQ(item.GetActionCommand(paUninstallQuiet), L"own.exe /quiet");
    EXPECT_EQ(item.GetActionCommand(paRemoveFromRegistry), L"");
    EXPECT_EQ(item.GetActionCommand(paInstall), L"");
}

TEST(ItemProductCommands, PlainProductsRunTheirOwnCommandsAndFallBackToTheInstaller) {
    TDataItem item;
    item.FGUID = L"App";
    item.FCmdUninstall = L"unins.exe /x";
    item.FCmdModify = L"setup.exe /modify";
    EXPECT_EQ(item.GetActionCommand(paUninstall), L"unins.exe /x");
    EXPECT_EQ(item.GetActionCommand(paModifyRemove), L"unins.exe /x");
    EXPECT_EQ(item.GetActionCommand(paModify), L"setup.exe /modify");
    EXPECT_EQ(item.GetActionCommand(paRepair), L"msiexec.exe /fa App");

    TDataItem nameless;
    EXPECT_EQ(nameless.GetActionCommand(paRepair), L"");
}

TEST(ItemProductRules, VersionFromMajorAndMinor) {
    EXPECT_EQ(ComposeVersion(L"5", L"2"), L"5.2");
    EXPECT_EQ(ComposeVersion(L"5", std::nullopt), L"5");
    EXPECT_EQ(ComposeVersion(std::nullopt, std::nullopt), L"");
}

TEST(ItemProductRules, ProgramFolderPrefixIgnoresCaseAndEmptyFolders) {
    EXPECT_TRUE(
        IsInProgramFolder(L"c:\\program files\\App", L"C:\\Program Files", L"C:\\Program Files (x86)"));
    EXPECT_TRUE(IsInProgramFolder(L"C:\\Program Files (x86)\\App", L"", L"C:\\Program Files (x86)"));
    EXPECT_FALSE(IsInProgramFolder(L"C:\\Tools\\App", L"C:\\Program Files", L"C:\\Program Files (x86)"));
    EXPECT_FALSE(IsInProgramFolder(L"C:\\Tools\\App", L"", L""));
}

TEST(ItemProductRules, InstallDateTakesTheTimeOfTheKeyWrittenThatDay) {
    const double day = 43830;                                // 31 December 2019
    const double written = day + 14.0 / 24.0 + 5.0 / 1440.0; // 14:05 that day
    EXPECT_DOUBLE_EQ(RefinedInstallDate(day, {day - 3, written}), written);
    EXPECT_DOUBLE_EQ(RefinedInstallDate(day, {std::nullopt, day + 1.5}), day);
    // No recorded date: the first key that opened, whatever its day.
    EXPECT_DOUBLE_EQ(RefinedInstallDate(0, {std::nullopt, written, day - 3}), written);
    EXPECT_DOUBLE_EQ(RefinedInstallDate(0, {}), 0);
}

TEST(ItemProductInfo, AnswersTheTableByIndex) {
    TDataItem item;
    item.FDisplayName = L"App";
    item.FPublisher = L"Maker";
    item.FInstallDate = 43830.5;
    item.FLanguage = L"English";
    item.FEstimatedSize = 2097152;
    EXPECT_EQ(item.GetInfo(0), TInfoValue(std::wstring(L"App")));
    EXPECT_EQ(item.GetInfo(2), TInfoValue(std::wstring(L"Maker")));
    EXPECT_EQ(item.GetInfo(5), TInfoValue(TInfoDate{43830.5}));
    EXPECT_EQ(item.GetInfo(13), TInfoValue(std::wstring(L"English")));
    EXPECT_EQ(item.GetInfo(14), TInfoValue(int64_t(2097152)));
    EXPECT_EQ(item.GetInfo(1), TInfoValue(std::wstring()));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(item.GetInfo(15)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(item.GetInfo(-1)));
}

} // namespace
} // namespace velmora
