// The background job queue: at most five workers, the sixth item taken by the
// first worker to finish, WaitQueue on waiting and measured items, Stop during
// a measurement, and real folder trees measured without following links.
#include "InventoryTestKit.h"

#include "inventory/TaskManager.h"

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>

using namespace velmora;
using namespace velmora::testkit;
namespace fs = std::filesystem;

namespace {

class TSizedItem : public TItemProduct {
public:
    explicit TSizedItem(std::wstring folder, int64_t size = 0) : TItemProduct(nullptr) {
        FInstallLocation = std::move(folder);
        FEstimatedSize = size;
    }
    int64_t Size() { return std::get<int64_t>(GetInfo(14)); }

protected:
    void ReadFastData() override {}
};

// A measurement that holds its worker until the test releases the folder
// (or the worker is asked to stop); the size is the folder name's length.
class TBlockingMeasure {
public:
    int64_t Measure(const std::wstring& folder) {
        std::unique_lock lock(FLock);
        FStarted.push_back(folder);
        FThreadOf[folder] = std::this_thread::get_id();
        FPeak = std::max(FPeak, ++FRunning);
        struct TLeave {
            int& Running;
            ~TLeave() { --Running; }
        } leave{FRunning};
        while (!FReleased.count(folder)) {
            FWake.wait_for(lock, std::chrono::milliseconds(1));
            TThread::CheckTerminated();
        }
        return static_cast<int64_t>(folder.size());
    }
    TTaskManager::TMeasure Function() {
        return [this](const std::wstring& folder) { return Measure(folder); };
    }

    void Release(const std::wstring& folder) {
        std::lock_guard lock(FLock);
        FReleased.insert(folder);
        FWake.notify_all();
    }
    int StartedCount() {
        std::lock_guard lock(FLock);
        return static_cast<int>(FStarted.size());
    }
    bool WasStarted(const std::wstring& folder) {
        std::lock_guard lock(FLock);
        return std::find(FStarted.begin(), FStarted.end(), folder) != FStarted.end();
    }
    std::vector<std::wstring> Started() {
        std::lock_guard lock(FLock);
        return FStarted;
    }
    std::thread::id ThreadOf(const std::wstring& folder) {
        std::lock_guard lock(FLock);
        return FThreadOf.at(folder);
    }
    int Peak() {
        std::lock_guard lock(FLock);
        return FPeak;
    }

private:
    std::mutex FLock;
    std::condition_variable FWake;
    std::vector<std::wstring> FStarted;
    std::set<std::wstring> FReleased;
    std::map<std::wstring, std::thread::id> FThreadOf;
    int FRunning = 0;
    int FPeak = 0;
};

std::vector<std::unique_ptr<TSizedItem>> MakeItems(const std::vector<std::wstring>& folders) {
    std::vector<std::unique_ptr<TSizedItem>> items;
    for (const auto& folder : folders)
        items.push_back(std::make_unique<TSizedItem>(folder));
    return items;
}

TEST(TaskManager, SixItemsShareFiveWorkers) {
    TBlockingMeasure measure;
    TTaskManager queue(measure.Function());
    auto items = MakeItems({L"F0", L"F11", L"F222", L"F3333", L"F44444", L"F555555"});
    for (auto& item : items)
        queue.Queue(item.get());

    ASSERT_TRUE(WaitUntil([&] { return measure.StartedCount() == 5; }));
    EXPECT_EQ(queue.ActiveThreads(), 5);
    EXPECT_FALSE(measure.WasStarted(L"F555555")) << "the sixth waits for a worker";

    const std::wstring first = measure.Started()[2];
    measure.Release(first);
    ASSERT_TRUE(WaitUntil([&] { return measure.WasStarted(L"F555555"); }));
    EXPECT_EQ(measure.ThreadOf(L"F555555"), measure.ThreadOf(first)) << "taken by the worker that finished";

    for (auto& item : items)
        measure.Release(item->InstallLocation());
    // Workers end on their own once the queue is empty.
    ASSERT_TRUE(WaitUntil([&] { return queue.ActiveThreads() == 0; }));
    for (auto& item : items) {
        EXPECT_EQ(item->Size(), static_cast<int64_t>(item->InstallLocation().size()));
        EXPECT_TRUE(item->TakeChanged());
    }
    EXPECT_EQ(measure.Peak(), 5);

    // A later item gets a new worker.
    TSizedItem late(L"Late");
    queue.Queue(&late);
    measure.Release(L"Late");
    ASSERT_TRUE(WaitUntil([&] { return queue.ActiveThreads() == 0; }));
    EXPECT_EQ(late.Size(), 4);
}

TEST(TaskManager, WaitQueueTakesAWaitingItemOutUnmeasured) {
    TBlockingMeasure measure;
    TTaskManager queue(measure.Function());
    TSizedItem idle(L"Idle", 777);
    queue.WaitQueue(&idle); // no worker alive: returns at once

    auto busy = MakeItems({L"B0", L"B1", L"B2", L"B3", L"B4"});
    for (auto& item : busy)
        queue.Queue(item.get());
    ASSERT_TRUE(WaitUntil([&] { return measure.StartedCount() == 5; }));
    TSizedItem waiting(L"Waiting", 777);
    queue.Queue(&waiting);
    queue.Queue(&waiting);
    queue.WaitQueue(&waiting);

    for (auto& item : busy)
        measure.Release(item->InstallLocation());
    measure.Release(L"Waiting");
    ASSERT_TRUE(WaitUntil([&] { return queue.ActiveThreads() == 0; }));
    EXPECT_FALSE(measure.WasStarted(L"Waiting")) << "both entries were taken out";
    EXPECT_EQ(waiting.Size(), 777);
    EXPECT_FALSE(waiting.TakeChanged());
    EXPECT_EQ(busy[4]->Size(), 2);
}

TEST(TaskManager, WaitQueueOnAMeasuredItemReturnsAfterTheSizeIsStored) {
    TBlockingMeasure measure;
    TTaskManager queue(measure.Function());
    TSizedItem item(L"Measured");
    queue.Queue(&item);
    ASSERT_TRUE(WaitUntil([&] { return measure.WasStarted(L"Measured"); }));

    auto waited = std::async(std::launch::async, [&] {
        queue.WaitQueue(&item);
        return item.Size();
    });
    EXPECT_EQ(waited.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    measure.Release(L"Measured");
    EXPECT_EQ(waited.get(), 8) << "the size is stored before WaitQueue returns";
    EXPECT_TRUE(item.TakeChanged());
}

TEST(TaskManager, StopAbandonsTheMeasurementAndTheQueue) {
    TBlockingMeasure measure;
    TTaskManager queue(measure.Function());
    TSizedItem measured(L"Long", 4096);
    queue.Queue(&measured);
    ASSERT_TRUE(WaitUntil([&] { return measure.WasStarted(L"Long"); }));
    auto more = MakeItems({L"M1", L"M2", L"M3", L"M4"});
    for (auto& item : more)
        queue.Queue(item.get());
    ASSERT_TRUE(WaitUntil([&] { return measure.StartedCount() == 5; }));
    TSizedItem waiting(L"Never", 512);
    queue.Queue(&waiting);

    queue.Stop();
    EXPECT_EQ(queue.ActiveThreads(), 0) << "Stop returns after the workers have ended";
    EXPECT_EQ(measured.Size(), 4096);
    EXPECT_FALSE(measured.TakeChanged());
    EXPECT_EQ(waiting.Size(), 512);
    EXPECT_FALSE(measure.WasStarted(L"Never"));

    // The queue serves again after a stop.
    TSizedItem again(L"Again");
    queue.Queue(&again);
    measure.Release(L"Again");
    ASSERT_TRUE(WaitUntil([&] { return queue.ActiveThreads() == 0; }));
    EXPECT_EQ(again.Size(), 5);
}

// A folder tree of known size under the system's temporary folder.
class FolderSize : public ::testing::Test {
protected:
    void SetUp() override {
        static int serial = 0;
        FRoot =
            fs::temp_directory_path() /
            ("velmora-size-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
             "-" + std::to_string(++serial));
        fs::create_directories(FRoot / "tree" / "sub" / "deeper");
        fs::create_directories(FRoot / "tree" / "empty");
        fs::create_directories(FRoot / "outside");
        Write(FRoot / "tree" / "a.bin", 1000);
        Write(FRoot / "tree" / "sub" / "b.bin", 2345);
        Write(FRoot / "tree" / "sub" / "deeper" / "c.bin", 7);
        Write(FRoot / "tree" / "sub" / "deeper" / "zero.bin", 0);
        Write(FRoot / "outside" / "big.bin", 50000);
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(FRoot, error);
    }
    static void Write(const fs::path& path, size_t bytes) {
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    }
    std::wstring Tree() const { return (FRoot / "tree").wstring(); }

    static constexpr int64_t TreeSize = 1000 + 2345 + 7;
    fs::path FRoot;
};

TEST_F(FolderSize, TreeSumsEveryFileBelowIt) {
    EXPECT_EQ(MeasureFolderSize(Tree()), TreeSize);
    EXPECT_EQ(MeasureFolderSize(Tree() + static_cast<wchar_t>(fs::path::preferred_separator)), TreeSize);
    EXPECT_EQ(MeasureFolderSize((FRoot / "tree" / "empty").wstring()), 0);
    EXPECT_EQ(MeasureFolderSize((FRoot / "missing").wstring()), 0);
    EXPECT_EQ(MeasureFolderSize(L""), 0);
}

TEST_F(FolderSize, QueuedItemGetsTheSizeOfItsFolder) {
    TTaskManager queue;
    TSizedItem item(Tree());
    TSizedItem missing((FRoot / "missing").wstring(), 300);
    queue.Queue(&item);
    queue.Queue(&missing);
    ASSERT_TRUE(WaitUntil([&] { return queue.ActiveThreads() == 0; }));
    EXPECT_EQ(item.Size(), TreeSize);
    EXPECT_TRUE(item.TakeChanged());
    EXPECT_EQ(missing.Size(), 0) << "a folder that cannot be read measures nothing";
}

// A stop request ends the walk at the next entry.
TEST_F(FolderSize, MeasurementOnAStoppedThreadAborts) {
    class TStoppedWalk : public TThread {
    public:
        explicit TStoppedWalk(std::wstring folder) : FFolder(std::move(folder)) {}
        ~TStoppedWalk() override { TerminateAndWait(); }
        std::atomic<int> Outcome{0}; // 1 measured, 2 aborted

    protected:
        void Execute() override {
            Terminate();
            try {
                MeasureFolderSize(FFolder);
                Outcome = 1;
            } catch (const EAbort&) {
                Outcome = 2;
            }
        }

    private:
        std::wstring FFolder;
    };
    TStoppedWalk tree(Tree());
    tree.Start();
    tree.WaitFor();
    EXPECT_EQ(tree.Outcome, 2);
    TStoppedWalk empty((FRoot / "tree" / "empty").wstring());
    empty.Start();
    empty.WaitFor();
    EXPECT_EQ(empty.Outcome, 1) << "no entry, no cancellation point";
}

#ifndef _WIN32
// Symbolic links stand for reparse points here (Windows: see the folder tests
// run under Wine).
TEST_F(FolderSize, LinksInsideTheFolderAddNothing) {
    fs::create_directory_symlink(FRoot / "outside", FRoot / "tree" / "sub" / "link");
    fs::create_symlink(FRoot / "outside" / "big.bin", FRoot / "tree" / "big-link.bin");
    EXPECT_EQ(MeasureFolderSize(Tree()), TreeSize);
}
#endif

} // namespace
