// The background job queue over a measurement the test holds and releases.
#include "InventoryTestKit.h"

#include "inventory/TaskManager.h"
#include "platform/Thread.h"

#include <future>
#include <map>
#include <set>
#include <thread>

using namespace velmora;
using namespace velmora::testkit;

namespace {

// A program in folder whose size is known (or 0).
std::unique_ptr<TTestProgram> Sized(std::wstring folder, int64_t size = 0) {
    auto item = std::make_unique<TTestProgram>();
    item->FInstallLocation = std::move(folder);
    item->FEstimatedSize = size;
    return item;
}
int64_t Size(TItemProduct& item) {
    return std::get<int64_t>(item.GetInfo(piEstimatedSize));
}

// The measurement holds its worker until the test releases the folder (or the
// worker is asked to stop); the size is the folder name's length.
class TaskManager : public ::testing::Test {
protected:
    template <class F> auto Locked(F&& f) {
        std::lock_guard lock(FLock);
        return f();
    }
    int64_t Measure(const std::wstring& folder) {
        Locked([&] { FStarted.emplace(folder, std::this_thread::get_id()); });
        while (!Locked([&] { return FReleased.count(folder) != 0; })) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            TThread::CheckTerminated();
        }
        return static_cast<int64_t>(folder.size());
    }
    void Release(const std::wstring& folder) {
        Locked([&] { FReleased.insert(folder); });
    }
    // The worker that measured folder, or none.
    std::optional<std::thread::id> ThreadOf(const std::wstring& folder) {
        return Locked([&] {
            auto found = FStarted.find(folder);
            return found == FStarted.end() ? std::nullopt : std::optional(found->second);
        });
    }
    // Queues five items that hold all workers.
    void FillWorkers() {
        for (const wchar_t* folder : {L"B0", L"B1", L"B2", L"B3", L"B4"}) {
            FBusy.push_back(Sized(folder));
            FQueue.Queue(FBusy.back().get());
        }
        ASSERT_TRUE(WaitUntil([&] { return Locked([&] { return FStarted.size(); }) == 5; }));
    }

    std::mutex FLock;
    std::map<std::wstring, std::thread::id> FStarted;
    std::set<std::wstring> FReleased;
    std::vector<std::unique_ptr<TTestProgram>> FBusy;
    TTaskManager FQueue{[this](const std::wstring& folder) { return Measure(folder); }};
};

TEST_F(TaskManager, SixthItemWaitsForTheFirstWorkerToFinishAndWaitQueueWaitsForItsItem) {
    FillWorkers();
    auto sixth = Sized(L"F555555"), waiting = Sized(L"Waiting", 777);
    FQueue.Queue(sixth.get());
    FQueue.Queue(waiting.get());
    FQueue.Queue(waiting.get());
    EXPECT_EQ(FQueue.ActiveThreads(), 5);
    // A waiting item is taken out of the queue, every entry of it, unmeasured.
    FQueue.WaitQueue(waiting.get());

    auto measured = std::async(std::launch::async, [&] {
        FQueue.WaitQueue(FBusy[2].get());
        return Size(*FBusy[2]);
    });
    EXPECT_EQ(measured.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    EXPECT_FALSE(ThreadOf(L"F555555")) << "the sixth waits for a worker";
    Release(L"B2");
    EXPECT_EQ(measured.get(), 2) << "the size is stored before WaitQueue returns";
    ASSERT_TRUE(WaitUntil([&] { return ThreadOf(L"F555555").has_value(); }));
    EXPECT_EQ(ThreadOf(L"F555555"), ThreadOf(L"B2")) << "taken by the worker that finished";

    for (const wchar_t* folder : {L"B0", L"B1", L"B3", L"B4", L"F555555", L"Waiting"})
        Release(folder);
    // Workers end on their own once the queue is empty.
    ASSERT_TRUE(WaitUntil([&] { return FQueue.ActiveThreads() == 0; }));
    EXPECT_EQ(Size(*sixth), 7);
    EXPECT_TRUE(sixth->TakeChanged());
    EXPECT_FALSE(ThreadOf(L"Waiting"));
    EXPECT_EQ(Size(*waiting), 777);
    EXPECT_FALSE(waiting->TakeChanged());
    // A worker that ended on its own is joined at the next count: none is left.
    EXPECT_TRUE(WaitUntil([] { return LibraryThreadCount() == 0; }));
}

} // namespace
