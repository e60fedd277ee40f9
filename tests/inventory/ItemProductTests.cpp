// Item stages and actions without the operating system.
#include "InventoryTestKit.h"

#include <future>

using namespace velmora;
using namespace velmora::testkit;

namespace {

bool LockedByAnotherThread(TTestProgram& item) {
    return std::async(std::launch::async, [&] { return !item.TryLock(); }).get();
}

} // namespace

TEST(ItemProductStages, FastInfoIsReadOnceUnderTheItemLockUntilMarkedAgain) {
    TEventLog log;
    auto item = std::make_shared<TTestProgram>(L"P", &log);
    bool lockedDuringRead = false;
    item->OnFast = [&] { lockedDuringRead = LockedByAnotherThread(*item); };
    item->ReadFastInfo();
    item->ReadFastInfo();
    EXPECT_EQ(log.CountOf(L"P.Fast"), 1);
    EXPECT_TRUE(lockedDuringRead);
    EXPECT_FALSE(LockedByAnotherThread(*item));

    item->FolderChanged = true;
    EXPECT_TRUE(item->CheckChange());
    item->ReadFastInfo();
    EXPECT_EQ(log.CountOf(L"P.Fast"), 2);
}

// A failed read is logged and counts as done; an abort passes on and leaves it for later.
TEST(ItemProductStages, ReadErrorCountsAsReadButAbortLeavesItForLater) {
    TEventLog log;
    auto failing = std::make_shared<TTestProgram>(L"F", &log);
    failing->OnFast = [] { throw std::runtime_error("unreadable key"); };
    failing->OnSlow = [] { throw std::runtime_error("no reputation component"); };
    EXPECT_NO_THROW(failing->ReadFastInfo());
    failing->ReadFastInfo();
    EXPECT_EQ(log.CountOf(L"F.Fast"), 1);
    EXPECT_NO_THROW(failing->ReadSlowInfo());
    EXPECT_FALSE(failing->IsNeedReadSlowInfo());

    auto aborted = std::make_shared<TTestProgram>(L"A", &log);
    aborted->OnFast = aborted->OnSlow = [] { throw EAbort(); };
    EXPECT_THROW(aborted->ReadFastInfo(), EAbort);
    EXPECT_THROW(aborted->ReadSlowInfo(), EAbort);
    EXPECT_TRUE(aborted->IsNeedReadSlowInfo());
    aborted->OnSlow = nullptr;
    aborted->ReadSlowInfo();
    EXPECT_EQ(log.CountOf(L"A.Slow"), 2);
    EXPECT_FALSE(aborted->IsNeedReadSlowInfo());
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

    TPossibleActions action = TPossibleActions::paRemoveFromRegistry;
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
    TEventLog log;
    struct TWaitsForLockUser : TTestProgram {
        TWaitsForLockUser(TEventLog& log, TItemList<TItemProgram>& list, bool& free)
            : TTestProgram(L"W", &log), List(list), Free(free) {}
        ~TWaitsForLockUser() override {
            auto user = std::async(std::launch::async, [this] { std::lock_guard lock(List.Lock()); });
            Free = user.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        }
        TItemList<TItemProgram>& List;
        bool& Free;
    };
    bool free = false;
    auto item = std::make_shared<TWaitsForLockUser>(log, list, free);
    auto* raw = item.get();
    list.Add(std::move(item));
    EXPECT_TRUE(list.Remove(raw));
    EXPECT_TRUE(free);
}
