#pragma once
// One forced removal of one product: the lists of what was found, the
// progress, the decisions the front end gave and the worker that scans and
// deletes. The front end drives it (IForceRemove); the worker writes the
// counters and flags, which the front end polls.
#include "api/Enums.Velmora.h"
#include "forceremove/FileList.h"
#include "forceremove/RegList.h"
#include "forceremove/RemovalSystem.h"
#include "forceremove/ServiceList.h"
#include "forceremove/SharedDlls.h"
#include "forceremove/ShortcutList.h"
#include "forceremove/Tasks.h"
#include "forceremove/TimeCounter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

class TForceRemoveThread;

class TForceRemove {
public:
    // The product's own registry keys enter the registry list at once.
    TForceRemove(TFRProduct product, std::unique_ptr<TRemovalSystem> system);
    // Ends the worker before the lists go.
    ~TForceRemove();
    TForceRemove(const TForceRemove&) = delete;
    TForceRemove& operator=(const TForceRemove&) = delete;

    TFRAction Action() const { return FAction.load(); }
    TFRState State() const { return FState.load(); }
    uint64_t ElapsedTime() const { return FTimer.Elapsed(); }
    int32_t FilesProcessed() const { return FFilesProcessed.load(); }
    int64_t RemovedSize() const { return FRemovedSize.load(); }
    int32_t RegistryKeysProcessed() const { return FRegistryKeysProcessed.load(); }
    bool Terminated() const { return FTerminated.load(); }
    uint64_t StateStamp() const { return FStateStamp.load(); }
    bool CalcFinished() const { return FCalcFinished.load(); }
    std::wstring Processing() const;

    TFRRequiredAction RequiredAction() const { return FRequiredAction.load(); }
    TFRRKUsage RKUsageDecision() const { return FRKUsageDecision.load(); }
    void SetRKUsageDecision(TFRRKUsage decision) { FRKUsageDecision = decision; }
    TFRBlockedFilesDecision BlockedFilesDecision() const { return FBlockedFilesDecision.load(); }
    void SetBlockedFilesDecision(TFRBlockedFilesDecision decision) { FBlockedFilesDecision = decision; }
    TFRFreeSpaceDecision RKFreeSpaceDecision() const { return FRKFreeSpaceDecision.load(); }
    void SetRKFreeSpaceDecision(TFRFreeSpaceDecision decision) { FRKFreeSpaceDecision = decision; }

    // The files that cannot be opened exclusively, read between Lock and
    // Unlock; the worker deletes from it under the same lock.
    const std::vector<std::wstring>& BlockedFiles() const { return FBlockedFiles; }
    void Lock() { FLockCS.lock(); }
    void Unlock() { FLockCS.unlock(); }
    // One by one, each read under the lock; empty text outside the list.
    size_t BlockedFileCount();
    std::wstring BlockedFile(size_t index);

    // The lists are read once the scan has ended: while the worker scans
    // they count 0 (they grow meanwhile). Items outside a list raise
    // std::out_of_range.
    int64_t TotalSize() const;
    int32_t TotalFiles() const;
    size_t DataFileCount() const;
    TFRFile& DataFile(size_t index) const;
    // Every file and folder to delete, the data files among them.
    size_t FileCount() const;
    TFRFile& File(size_t index) const;
    size_t RegEntryCount() const;
    TFRRegEntry& RegEntry(size_t index) const;
    size_t ShortcutCount() const;
    TFRShortcut& Shortcut(size_t index) const;
    size_t ServiceCount() const;
    TFRService& Service(size_t index) const;
    int32_t RemovedShortcutCount() const;
    int32_t RemovedServiceCount() const;

    // 100 once every scanner has run, else the scanners' progress weighted by
    // their complexity.
    int32_t CalcProgress() const { return FCalcTasks.Progress(); }
    // 20% the file check, 20% the registry, 60% the files.
    int64_t RemoveProgress() const;

    // Resume while the scan has not ended.
    void StartCalculate();
    // Once the scan has ended: opens the deletion and resumes.
    void StartRemove();
    // Running; the first call starts the worker. Between the end of the scan
    // and StartRemove it does nothing; a finished removal stays finished.
    void Resume();
    // Paused at the worker's next check point.
    void Suspend();
    // The worker ends at its next check point; what was deleted stays deleted.
    void Terminate();

private:
    friend class TForceRemoveThread;

    bool Scanning() const;
    // Running again unless finished; false when finished.
    bool SetRunning();
    // Every progress at 100, the scanners let go.
    void SetFinished();
    void SetProcessing(std::wstring path);

    const TFRProduct FProduct;
    const std::unique_ptr<TRemovalSystem> FSystem;
    std::atomic<TFRAction> FAction{TFRAction::fraCalculating};
    std::atomic<TFRState> FState{TFRState::frsInitial};
    TFRTasks FCalcTasks;
    std::atomic<int32_t> FCheckProgress{0};
    std::atomic<int32_t> FRegistryProgress{0};
    std::atomic<int32_t> FFileProgress{0};
    TFRSharedDlls FSharedDlls;
    TFRFileList FFileList;
    std::vector<TFRFile*> FDataFileList;
    TFRRegList FRegKeys;
    TFRShortcutList FShortcutList;
    TFRServiceList FSvcList;
    TTimeCounter FTimer;
    std::atomic<int32_t> FFilesProcessed{0};
    std::atomic<TFRRequiredAction> FRequiredAction{TFRRequiredAction::frqNone};
    std::atomic<TFRRKUsage> FRKUsageDecision{TFRRKUsage::rkuNone};
    std::vector<std::wstring> FBlockedFiles;
    std::atomic<TFRBlockedFilesDecision> FBlockedFilesDecision{TFRBlockedFilesDecision::bfdNone};
    std::atomic<TFRFreeSpaceDecision> FRKFreeSpaceDecision{TFRFreeSpaceDecision::rksNone};
    std::atomic<int32_t> FRegistryKeysProcessed{0};
    std::atomic<int64_t> FRemovedSize{0};
    std::atomic<uint64_t> FStateStamp{0};
    std::atomic<bool> FTerminated{false};
    mutable std::mutex FProcessingLock;
    std::wstring FProcessing;
    std::atomic<bool> FCalcFinished{false};
    // Set by StartRemove alone: the worker deletes nothing before.
    std::atomic<bool> FRemoveStarted{false};
    // The worker fills the lists: from its creation to the end of its scan.
    std::atomic<bool> FScanning{false};
    std::recursive_mutex FLockCS;
    std::mutex FThreadLock; // FThread: Resume and Terminate may come from any thread
    std::unique_ptr<TForceRemoveThread> FThread;
};

} // namespace velmora
