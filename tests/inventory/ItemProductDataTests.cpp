// The product item's rules over already-read uninstall data: which actions a
// product offers and the command each runs.
#include "inventory/ItemProduct.h"
#include "platform/Format.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace velmora {
namespace {

class TDataItem : public TItemProduct {
public:
    TDataItem(std::wstring uninstall, std::wstring quiet = {}, std::wstring modify = {},
              std::wstring repair = {})
        : TItemProduct(nullptr) {
        FCmdUninstall = std::move(uninstall);
        FCmdUninstallQuiet = std::move(quiet);
        FCmdModify = std::move(modify);
        FCmdRepair = std::move(repair);
    }
    using TItemProduct::AddCommandActions;
    using TItemProduct::FGUID;
    using TItemProduct::FIsWinInstaller;

protected:
    void ReadFastData() override {}
};

using enum TPossibleActions;

TPossibleActionsSet Set(std::initializer_list<TPossibleActions> actions) {
    TPossibleActionsSet set = 0;
    for (auto a : actions)
        set |= ActionBit(a);
    return set;
}

TEST(ItemProductActions, OfferedActionsFollowCommandsFlagsAndExistingPrograms) {
    struct TCase {
        const wchar_t *uninstall, *quiet, *modify, *repair;
        TCommandFlags flags;
        std::set<std::wstring> existing;
        TPossibleActionsSet expected;
    };
    const TCommandFlags msi{.WindowsInstaller = true},
        msiNoModify{.NoModify = true, .WindowsInstaller = true};
    const TCase cases[] = {
        {L"MsiExec.exe /X{A}", L"", L"", L"", msiNoModify, {}, Set({paUninstall, paRepair})},
        // A quiet command needs its program unless the installer manages the product.
        {L"", L"q.exe", L"", L"", {}, {}, 0},
        {L"", L"q.exe", L"", L"", {}, {L"q.exe"}, Set({paUninstallQuiet})},
        {L"", L"q.exe", L"", L"", msi, {}, Set({paUninstallQuiet, paUninstall, paModify, paRepair})},
        // A lone uninstaller offers modify/remove even when its file is missing.
        {L"u.exe", L"", L"", L"", {}, {}, Set({paModifyRemove})},
        {L"u.exe", L"", L"", L"", {.NoRemove = true}, {}, 0},
        {L"u.exe", L"", L"", L"", {.NoRepair = true}, {L"u.exe"}, Set({paUninstall})},
        {L"u.exe", L"", L"m.exe", L"r.exe", {.NoRepair = true}, {}, Set({paModify})},
        {L"u.exe", L"", L"m.exe", L"r.exe", {}, {L"u.exe"}, Set({paUninstall, paModify, paRepair})},
    };
    for (const auto& c : cases) {
        TDataItem item(c.uninstall, c.quiet, c.modify, c.repair);
        auto exists = [&](const std::wstring& file) { return c.existing.count(file) != 0; };
        item.AddCommandActions(c.flags, exists);
        const auto row = &c - cases;
        EXPECT_EQ(item.PossibleActions(), c.expected) << "row " << row;
        EXPECT_EQ(item.FIsWinInstaller, c.flags.WindowsInstaller) << "row " << row;
    }
}

TEST(ItemProductCommands, InstallerManagedRunTheInstallerOthersTheirOwnWithTheInstallerAsFallback) {
    TDataItem managed(L"own.exe", L"own.exe /quiet");
    managed.FGUID = L"{G}";
    managed.FIsWinInstaller = true;
    TDataItem plain(L"unins.exe /x", L"", L"setup.exe /modify");
    plain.FGUID = L"App";
    const std::tuple<TDataItem*, TPossibleActions, const wchar_t*> cases[] = {
        {&managed, paUninstall, L"msiexec.exe /x {G}"},  {&managed, paModify, L"msiexec.exe /i {G}"},
        {&managed, paRepair, L"msiexec.exe /fa {G}"},    {&managed, paModifyRemove, L"msiexec.exe /i {G}"},
        {&managed, paUninstallQuiet, L"own.exe /quiet"}, {&managed, paRemoveFromRegistry, L""},
        {&plain, paUninstall, L"unins.exe /x"},          {&plain, paModifyRemove, L"unins.exe /x"},
        {&plain, paModify, L"setup.exe /modify"},        {&plain, paRepair, L"msiexec.exe /fa App"},
    };
    for (auto [item, action, expected] : cases)
        EXPECT_EQ(item->GetActionCommand(action), expected)
            << Narrow(item->FGUID) << " action " << static_cast<int>(action);
}

} // namespace
} // namespace velmora
