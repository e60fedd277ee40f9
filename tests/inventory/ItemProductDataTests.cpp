// The product item's rules over already-read uninstall data: which actions a
// product offers and the command each runs.
#include "InventoryTestKit.h"

#include <set>

namespace velmora {
namespace {

using testkit::TTestProgram;

std::shared_ptr<TTestProgram> Item(std::wstring uninstall, std::wstring quiet = {}, std::wstring modify = {},
                                   std::wstring repair = {}) {
    auto item = std::make_shared<TTestProgram>();
    item->FCmdUninstall = std::move(uninstall);
    item->FCmdUninstallQuiet = std::move(quiet);
    item->FCmdModify = std::move(modify);
    item->FCmdRepair = std::move(repair);
    return item;
}

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
        auto item = Item(c.uninstall, c.quiet, c.modify, c.repair);
        auto exists = [&](const std::wstring& file) { return c.existing.count(file) != 0; };
        item->AddCommandActions(c.flags, exists);
        const auto row = &c - cases;
        EXPECT_EQ(item->PossibleActions(), c.expected) << "row " << row;
        EXPECT_EQ(item->FIsWinInstaller, c.flags.WindowsInstaller) << "row " << row;
    }
}

TEST(ItemProductCommands, InstallerManagedRunTheInstallerOthersTheirOwnWithTheInstallerAsFallback) {
    auto managed = Item(L"own.exe", L"own.exe /quiet"),
         plain = Item(L"unins.exe /x", L"", L"setup.exe /modify");
    managed->FGUID = L"{G}";
    managed->FIsWinInstaller = true;
    plain->FGUID = L"App";
    const std::tuple<TTestProgram*, TPossibleActions, const wchar_t*> cases[] = {
        {managed.get(), paUninstall, L"msiexec.exe /x {G}"},
        {managed.get(), paModify, L"msiexec.exe /i {G}"},
        {managed.get(), paRepair, L"msiexec.exe /fa {G}"},
        {managed.get(), paModifyRemove, L"msiexec.exe /i {G}"},
        {managed.get(), paUninstallQuiet, L"own.exe /quiet"},
        {managed.get(), paRemoveFromRegistry, L""},
        {plain.get(), paUninstall, L"unins.exe /x"},
        {plain.get(), paModifyRemove, L"unins.exe /x"},
        {plain.get(), paModify, L"setup.exe /modify"},
        {plain.get(), paRepair, L"msiexec.exe /fa App"},
    };
    for (auto [item, action, expected] : cases)
        EXPECT_EQ(item->GetActionCommand(action), expected)
            << Narrow(item->FGUID) << " action " << static_cast<int>(action);
}

} // namespace
} // namespace velmora
