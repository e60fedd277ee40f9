#pragma once
// The background job queue: items whose size is not recorded wait here until
// one of at most five worker threads measures their install folder. The queue
// borrows its items and never frees one; an item leaving the inventory first
// calls WaitQueue, so that no worker still holds it.
#include "platform/Thread.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace velmora {

class TItemProduct;

// Sum of the sizes of the files under folder, in bytes; links and junctions
// are not followed, a folder that cannot be read adds nothing. A cancellation
// point per entry: a runtime thread asked to terminate ends it with EAbort.
int64_t MeasureFolderSize(const std::wstring& folder);

class TTaskManager {
public:
    static constexpr int MaxThreads = 5;
    using TMeasure = std::function<int64_t(const std::wstring& folder)>;

    // The library's queue, created on first use and freed when the library unloads.
    static TTaskManager& Instance();

    // measure: how a worker sizes a folder (a stand-in in tests).
    explicit TTaskManager(TMeasure measure = MeasureFolderSize);
    // Stops, then waits for the workers that were ending on their own.
    ~TTaskManager();
    TTaskManager(const TTaskManager&) = delete;
    TTaskManager& operator=(const TTaskManager&) = delete;

    // Appends item and starts a worker in the highest free slot, if any.
    void Queue(TItemProduct* item);
    // Returns once item is neither waiting nor being measured; a waiting item
    // is taken out of the queue unmeasured.
    void WaitQueue(TItemProduct* item);
    // Empties the queue and ends every worker, waiting for each; a measurement
    // under way is abandoned and its item keeps the size it had.
    void Stop();

    // Number of worker thread objects alive.
    int ActiveThreads() const { return FActiveThreads.load(); }

private:
    class TTaskThread;

    // Under FListLock: the next item for slot, or nullptr after the slot has
    // been given up (true in ownsSelf when the worker still held its object).
    TItemProduct* TakeNext(int slot, TTaskThread* worker, bool& ownsSelf);
    // Under FListLock: the worker gives its slot up; true when it held itself.
    bool ReleaseSlot(int slot, TTaskThread* worker);
    void Measure(TItemProduct& item);

    TMeasure FMeasure;
    std::deque<TItemProduct*> FList;
    std::atomic<int32_t> FActiveThreads{0};
    std::mutex FListLock;
    std::array<TItemProduct*, MaxThreads> FTasks{};
    // Swapped only atomically: exactly one of Stop and the worker's own end
    // takes a thread object out and frees it.
    std::array<std::atomic<TTaskThread*>, MaxThreads> FThreads{};
};

} // namespace velmora
