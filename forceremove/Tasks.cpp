#include "forceremove/Tasks.h"

namespace velmora {

void TFRTasks::AddOperation(IFRTask& task) {
    std::lock_guard lock(FLock);
    FList.push_back(&task);
    FTotalComplexity += task.GetComplexity();
}

void TFRTasks::Run() {
    FFinished = false;
    std::vector<IFRTask*> tasks;
    {
        std::lock_guard lock(FLock);
        tasks = FList;
    }
    for (IFRTask* task : tasks) {
        task->Run();
        task->Complete();
    }
    FFinished = true;
}

void TFRTasks::Clear() {
    std::lock_guard lock(FLock);
    FList.clear();
    FTotalComplexity = 0;
}

int32_t TFRTasks::TotalComplexity() const {
    std::lock_guard lock(FLock);
    return FTotalComplexity;
}

int32_t TFRTasks::Progress() const {
    if (FFinished)
        return 100;
    std::lock_guard lock(FLock);
    if (FTotalComplexity <= 0)
        return 0;
    int32_t progress = 0;
    for (IFRTask* task : FList)
        progress += static_cast<int32_t>(static_cast<double>(task->GetComplexity()) / FTotalComplexity *
                                         task->GetProgress());
    return progress;
}

} // namespace velmora
