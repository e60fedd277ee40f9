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
    std::vector<std::wstring> Started() {
        std::lock_guard lock(FLock);
        return FStarted;
    }
    bool WasStarted(const std::wstring& folder) {
        auto started = Started();
        return std::find(started.begin(), started.end(), folder) != started.end();
    }
    std::thread::id ThreadOf(const std::wstring& folder) {
        std::lock_guard lock(FLock);
        return FThreadOf.at(folder);
    }

private:
    std::mutex FLock;
    std::condition_variable FWake;
    std::vector<std::wstring> FStarted;
    std::set<std::wstring> FReleased;
    std::map<std::wstring, std::thread::id> FThreadOf;
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

    ASSERT_TRUE(WaitUntil([&] { return measure.Started().size() == 5; }));
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
}

TEST(TaskManager, WaitQueueTakesAWaitingItemOutUnmeasured) {
    TBlockingMeasure measure;
    TTaskManager queue(measure.Function());
    auto busy = MakeItems({L"B0", L"B1", L"B2", L"B3", L"B4"});
    for (auto& item : busy)
        queue.Queue(item.get());
    ASSERT_TRUE(WaitUntil([&] { return measure.Started().size() == 5; }));
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
    ASSERT_TRUE(WaitUntil([&] { return measure.Started().size() == 5; }));
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
        FRoot = fs::temp_directory_path() / UniqueName(L"velmora-size-");
        fs::create_directories(FRoot / "tree" / "sub" / "deeper");
        fs::create_directories(FRoot / "outside");
        Write(FRoot / "tree" / "a.bin", 1000);
        Write(FRoot / "tree" / "sub" / "deeper" / "b.bin", 2345);
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

    fs::path FRoot;
};

TEST_F(FolderSize, TreeSumsEveryFileBelowItWithoutFollowingLinks) {
#ifndef _WIN32
    // Symbolic links stand for reparse points here (Windows: the folder tests under Wine).
    fs::create_directory_symlink(FRoot / "outside", FRoot / "tree" / "sub" / "link");
    fs::create_symlink(FRoot / "outside" / "big.bin", FRoot / "tree" / "big-link.bin");
#endif
    EXPECT_EQ(MeasureFolderSize(Tree()), 1000 + 2345);
    EXPECT_EQ(MeasureFolderSize((FRoot / "missing").wstring()), 0);
}

// A stop request ends the walk at the next entry.
TEST_F(FolderSize, MeasurementOnAStoppedThreadAborts) {
    struct TStoppedWalk : TThread {
        explicit TStoppedWalk(std::wstring folder) : Folder(std::move(folder)) {}
        ~TStoppedWalk() override { TerminateAndWait(); }
        void Execute() override {
            Terminate();
            try {
                MeasureFolderSize(Folder);
            } catch (const EAbort&) {
                Aborted = true;
            }
        }
        std::wstring Folder;
        std::atomic<bool> Aborted{false};
    };
    TStoppedWalk walk(Tree());
    walk.Start();
    walk.WaitFor();
    EXPECT_TRUE(walk.Aborted);
}

} // namespace
