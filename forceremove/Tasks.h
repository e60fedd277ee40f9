#pragma once
// The scanners of a forced removal run as tasks, one after another on the
// worker thread, while the front end polls their progress.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace velmora {

// Called by a scanner at every item it scans: the worker's pause check,
// which raises EAbort once the removal is terminated. May be empty.
using TWorkflowCheck = std::function<void()>;

// One scan step. Identifier {8A976816-3D61-45EB-9EB8-906E275A4024}; tasks
// never leave the library and their owner frees them, so no reference is
// counted and nothing asks for it.
class IFRTask {
public:
    virtual ~IFRTask() = default;
    // The task's weight in the scan's progress.
    virtual int32_t GetComplexity() = 0;
    // 0..100.
    virtual int32_t GetProgress() = 0;
    // Progress 100.
    virtual void Complete() = 0;
    virtual void Run() = 0;
};

class TFRTask : public IFRTask {
public:
    int32_t GetComplexity() override { return 1; }
    int32_t GetProgress() final { return FProgress.load(); }
    void Complete() final { SetProgress(100); }

protected:
    void SetProgress(int32_t progress) { FProgress = progress; }

private:
    std::atomic<int32_t> FProgress{0};
};

// The scanners in their order, not owned.
class TFRTasks {
public:
    void AddOperation(IFRTask& task);
    // Runs and completes each task in order; an error passes on.
    void Run();
    void Clear();
    bool Finished() const { return FFinished.load(); }
    int32_t TotalComplexity() const;
    // 100 once the tasks have run to their end; else the sum over the tasks
    // of Trunc(complexity / total complexity x progress).
    int32_t Progress() const;

private:
    mutable std::mutex FLock; // the list: the front end polls while the worker runs
    std::vector<IFRTask*> FList;
    int32_t FTotalComplexity = 0;
    std::atomic<bool> FFinished{false};
};

} // namespace velmora
