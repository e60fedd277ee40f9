#include "inventory/TaskManager.h"

#include "frame/DebugLog.h"
#include "inventory/ItemProduct.h"
#include "platform/LibraryGlobal.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace velmora {

// Per OS: writes a measured size back to the item's uninstall key.
namespace task_os {
void WriteSize(TItemProduct& item);
} // namespace task_os

class TTaskManager::TTaskThread : public TThread {
public:
    TTaskThread(TTaskManager& taskManager, int index) : FTaskManager(taskManager), FIndex(index) {
        FTaskManager.FActiveThreads.fetch_add(1);
    }
    ~TTaskThread() override {
        TerminateAndWait();
        FTaskManager.FActiveThreads.fetch_sub(1);
    }

protected:
    void Execute() override;
    void HandleError(std::exception_ptr error) override { StatisticsLog::AddError(error); }

private:
    TTaskManager& FTaskManager;
    const int FIndex;
};

void TTaskManager::TTaskThread::Execute() {
    bool released = false;
    bool ownsSelf = false;
    try {
        while (!Terminated()) {
            TItemProduct* item = FTaskManager.TakeNext(FIndex, this, ownsSelf);
            if (!item) {
                released = true;
                break;
            }
            try {
                FTaskManager.Measure(*item);
            } catch (const EAbort&) {
                throw;
            } catch (...) {
                StatisticsLog::AddError();
            }
        }
    } catch (...) {
        if (!released) {
            std::lock_guard lock(FTaskManager.FListLock);
            ownsSelf = FTaskManager.ReleaseSlot(FIndex, this);
        }
        if (ownsSelf)
            Detach();
        throw;
    }
    if (!released) {
        std::lock_guard lock(FTaskManager.FListLock);
        ownsSelf = FTaskManager.ReleaseSlot(FIndex, this);
    }
    // Nobody else holds this object any more: it frees itself when it ends.
    if (ownsSelf)
        Detach();
}

TTaskManager& TTaskManager::Instance() {
    static TLibraryGlobal<TTaskManager> instance;
    return *instance;
}

TTaskManager::TTaskManager(TMeasure measure) : FMeasure(std::move(measure)) {}

TTaskManager::~TTaskManager() {
    Stop();
    // A worker that gave its slot up on its own may still be ending. The wait
    // is bounded: at process exit such a thread may have been killed already.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (FActiveThreads.load() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// The slot is looked for under the lock: a worker gives its slot up under
// the same lock once it finds the queue empty, so an item queued meanwhile
// always finds a worker.
void TTaskManager::Queue(TItemProduct* item) {
    std::lock_guard lock(FListLock);
    FList.push_back(item);
    for (int slot = MaxThreads - 1; slot >= 0; --slot) {
        if (FThreads[slot].load() != nullptr)
            continue;
        auto* worker = new TTaskThread(*this, slot);
        FThreads[slot].store(worker);
        try {
            worker->Start();
        } catch (...) {
            FThreads[slot].store(nullptr);
            delete worker;
            throw;
        }
        break;
    }
}

void TTaskManager::WaitQueue(TItemProduct* item) {
    if (FActiveThreads.load() <= 0)
        return;
    for (;;) {
        bool measuring;
        {
            std::lock_guard lock(FListLock);
            FList.erase(std::remove(FList.begin(), FList.end(), item), FList.end());
            measuring = std::find(FTasks.begin(), FTasks.end(), item) != FTasks.end();
        }
        if (!measuring)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The workers are freed outside the lock: an ending worker takes it once more.
void TTaskManager::Stop() {
    {
        std::lock_guard lock(FListLock);
        FList.clear();
    }
    for (int slot = MaxThreads - 1; slot >= 0; --slot)
        delete FThreads[slot].exchange(nullptr);
}

TItemProduct* TTaskManager::TakeNext(int slot, TTaskThread* worker, bool& ownsSelf) {
    std::lock_guard lock(FListLock);
    if (FList.empty()) {
        ownsSelf = ReleaseSlot(slot, worker);
        return nullptr;
    }
    TItemProduct* item = FList.front();
    FList.pop_front();
    FTasks[slot] = item;
    return item;
}

bool TTaskManager::ReleaseSlot(int slot, TTaskThread* worker) {
    FTasks[slot] = nullptr;
    return FThreads[slot].exchange(nullptr) == worker;
}

// The item stays in FTasks until the worker takes its next one, so that
// WaitQueue sees it measured, stored and written back.
void TTaskManager::Measure(TItemProduct& item) {
    const int64_t size = FMeasure(item.InstallLocation());
    {
        std::lock_guard lock(item.FCSItem);
        item.FEstimatedSize = size;
    }
    item.SetChanged();
    task_os::WriteSize(item);
}

} // namespace velmora
