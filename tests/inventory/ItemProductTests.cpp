// Item stages and actions without the operating system, and the product's
// action rules over already-read uninstall data.
#include "InventoryTestKit.h"

#include <future>
#include <set>

using namespace velmora;
using namespace velmora::testkit;

namespace {

using enum TPossibleActions;

bool LockedByAnotherThread(TTestProgram& item) {
    return std::async(std::launch::async, [&] { return !item.TryLock(); }).get();
}

TPossibleActionsSet Set(std::initializer_list<TPossibleActions> actions) {
    TPossibleActionsSet set = 0;
    for (auto a : actions)
        set |= ActionBit(a);
    return set;
}

} // namespace

// A marked item is read again: the location owner's watch loop.
TEST(ItemProductStages, FastInfoIsReadOnceUnderTheItemLockAndAFailedReadCountsAsRead) {
    TEventLog log;
    auto item = std::make_shared<TTestProgram>(L"P", &log);
    bool lockedDuringRead = false;
    item->OnFast = [&] { lockedDuringRead = LockedByAnotherThread(*item); };
    item->ReadFastInfo();
    item->ReadFastInfo();
    EXPECT_TRUE(lockedDuringRead);
    EXPECT_FALSE(LockedByAnotherThread(*item));

    // A failed read is logged and counts as done; an abort passes on and leaves it for later.
    auto failing = std::make_shared<TTestProgram>(L"F", &log);
    failing->OnFast = [] { throw std::runtime_error("unreadable key"); };
    failing->OnSlow = [] { throw std::runtime_error("no reputation component"); };
    EXPECT_NO_THROW(failing->ReadFastInfo());
    failing->ReadFastInfo();
    EXPECT_NO_THROW(failing->ReadSlowInfo());
    EXPECT_FALSE(failing->IsNeedReadSlowInfo());

    auto aborted = std::make_shared<TTestProgram>(L"A", &log);
    aborted->OnFast = aborted->OnSlow = [] { throw EAbort(); };
    EXPECT_THROW(aborted->ReadFastInfo(), EAbort);
    EXPECT_THROW(aborted->ReadSlowInfo(), EAbort);
    EXPECT_TRUE(aborted->IsNeedReadSlowInfo());
    aborted->OnSlow = nullptr;
    aborted->ReadSlowInfo();
    EXPECT_FALSE(aborted->IsNeedReadSlowInfo());
    EXPECT_EQ(log.Events(), EventList(L"P.Fast F.Fast F.Slow A.Fast A.Slow A.Slow"));
}

// A recorded date takes the time of the first key written that day; without
// one the first key's time stands (the registry's part: the size-write case).
TEST(ItemProductStages, InstallDateTakesTheTimeOfTheFirstKeyOfItsDay) {
    EXPECT_EQ(RefinedInstallDate(46000, {std::nullopt, 45999.5, 46000.25, 46000.75}), 46000.25);
    EXPECT_EQ(RefinedInstallDate(0, {std::nullopt, 45999.5, 46000.25}), 45999.5);
    EXPECT_EQ(RefinedInstallDate(46000, {45999.5}), 46000);
}

// No action starts while one runs, not even a remove-from-registry; a stop
// ends the action thread, and an idle program then leaves the program list
// without a thread. Destroying an item ends its action thread too.
TEST(ItemProductActions, RunningActionRefusesOthersUntilStoppedAndDestructionEndsItToo) {
    TItemProgram::Init();
    TEventLog log;
    auto item = std::make_shared<TTestProgram>(L"P", &log);
    TItemProgram::Items().Add(item);
    auto listed = [&] {
        return TItemProgram::Items().Any([&](const TItemProgram& p) { return &p == item.get(); });
    };
    std::atomic<bool> stopped{false}, stoppedByDestruction{false};
    item->SetActionThread(WaitingThread(stopped));
    EXPECT_TRUE(item->IsActionRunning());

    TPossibleActions action = paRemoveFromRegistry;
    void* window = reinterpret_cast<void*>(1);
    EXPECT_FALSE(item->RunAction(action, window));
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(listed());

    item->StopActionThread();
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(item->IsActionRunning());
    EXPECT_TRUE(item->RunAction(action, window));
    EXPECT_FALSE(item->IsActionRunning());
    EXPECT_FALSE(listed());

    item->SetActionThread(WaitingThread(stoppedByDestruction));
    item.reset();
    EXPECT_TRUE(stoppedByDestruction);
    TItemProgram::Done();
}

// An item's destruction may wait for a thread that needs the list lock.
TEST(ItemList, RemovedItemIsDestroyedOutsideTheListLock) {
    TItemList<TItemProgram> list;
    auto item = std::make_shared<TTestProgram>();
    bool free = false;
    item->OnDestroyed = [&] {
        auto user = std::async(std::launch::async, [&] { std::lock_guard lock(list.Lock()); });
        free = user.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    };
    auto* raw = item.get();
    list.Add(std::move(item));
    EXPECT_TRUE(list.Remove(raw));
    EXPECT_TRUE(free);
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
        auto item = std::make_shared<TTestProgram>();
        item->SetCommands(c.uninstall, c.quiet, c.modify, c.repair);
        auto exists = [&](const std::wstring& file) { return c.existing.count(file) != 0; };
        item->AddCommandActions(c.flags, exists);
        const auto row = &c - cases;
        EXPECT_EQ(item->PossibleActions(), c.expected) << "row " << row;
        EXPECT_EQ(item->FIsWinInstaller, c.flags.WindowsInstaller) << "row " << row;
    }
}

TEST(ItemProductCommands, InstallerManagedRunTheInstallerOthersTheirOwnWithTheInstallerAsFallback) {
    auto managed = std::make_shared<TTestProgram>(), plain = std::make_shared<TTestProgram>();
    managed->SetCommands(L"own.exe", L"own.exe /quiet");
    plain->SetCommands(L"unins.exe /x", L"", L"setup.exe /modify");
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
