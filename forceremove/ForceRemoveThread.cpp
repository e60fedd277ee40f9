#include "forceremove/ForceRemoveThread.h"

#include "forceremove/ForceRemove.h"
#include "forceremove/RemoveStrategy.h"
#include "forceremove/SharedFolders.h"
#include "frame/DebugLog.h"

#include <chrono>

namespace velmora {

namespace {

constexpr uint32_t PauseCheckMs = 50;
constexpr uint32_t BlockedFilesRetestMs = 500;
constexpr uint32_t PauseAfterEntryMs = 2;
constexpr uint32_t ReadOnlyAttribute = 1;
// A backed-up removal of more than this asks first whether to back it up.
constexpr int64_t BackupSizeQuestionBytes = 100 * 1024 * 1024;

uint64_t TickCount() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int32_t Percent(size_t done, size_t count) {
    return count == 0 ? 100 : static_cast<int32_t>(done * 100 / count);
}

} // namespace

TForceRemoveThread::TForceRemoveThread(TForceRemove& forceRemove)
    : FForceRemove(forceRemove),
      FAppFolders(forceRemove.FSystem->WindowsFolder(),
                  forceRemove.FSystem->OtherInstallLocations(forceRemove.FProduct)) {
    TRemovalSystem& system = *FForceRemove.FSystem;
    AddProgramFolder(FAppFolders, system.PreparePath(FForceRemove.FProduct.InstallLocation),
                     system.SharedFolders());
    TFRScanLists lists{FAppFolders,
                       FForceRemove.FFileList,
                       FForceRemove.FDataFileList,
                       FForceRemove.FRegKeys,
                       FForceRemove.FShortcutList,
                       FForceRemove.FSvcList,
                       FAppIDs,
                       FCLSIDs};
    FScanners = system.Scanners(FForceRemove.FProduct, lists, [this] { CheckPaused(); });
    for (const auto& scanner : FScanners)
        FForceRemove.FCalcTasks.AddOperation(*scanner);
}

TForceRemoveThread::~TForceRemoveThread() {
    TerminateAndWait();
}

void TForceRemoveThread::CheckPaused() {
    while (FForceRemove.State() == TFRState::frsPaused && !Terminated())
        SleepBy(PauseCheckMs);
    if (Terminated())
        throw EAbort();
}

void TForceRemoveThread::Execute() {
    try {
        StartRun();
        Scan();
        // Paused before the end shows, so that StartRemove finds it paused.
        FForceRemove.Suspend();
        FForceRemove.FScanning = false;
        FForceRemove.FCalcFinished = true;
        // A Resume that came before the end showed is undone: StartRemove alone goes on.
        while (!FForceRemove.FRemoveStarted) {
            FForceRemove.Suspend();
            CheckPaused();
        }
        Remove();
    } catch (...) {
        FForceRemove.SetFinished();
        StatisticsLog::AddError();
        return;
    }
    FForceRemove.SetFinished();
}

void TForceRemoveThread::StartRun() {
    TForceRemove& fr = FForceRemove;
    fr.FRemovedSize = 0;
    fr.FRegistryKeysProcessed = 0;
    fr.FFilesProcessed = 0;
    fr.FRegistryProgress = 0;
    fr.FFileProgress = 0;
    fr.FRequiredAction = TFRRequiredAction::frqNone;
    fr.FRKUsageDecision = TFRRKUsage::rkuNone;
    fr.FRKFreeSpaceDecision = TFRFreeSpaceDecision::rksNone;
    fr.FCalcFinished = false;
    {
        std::lock_guard lock(fr.FLockCS);
        fr.FBlockedFiles.clear();
    }
    fr.FFileList.Clear();
    fr.FShortcutList.Clear();
    fr.FSvcList.clear();
}

void TForceRemoveThread::Scan() {
    FForceRemove.FAction = TFRAction::fraCalculating;
    FForceRemove.FCalcTasks.Run();
}

void TForceRemoveThread::Remove() {
    TForceRemove& fr = FForceRemove;
    StatisticsLog::Add(L"Entering DoForceRemove");
    bool useRK = fr.FSystem->BackupEnabled();
    StatisticsLog::Add(L"Checking total size...");
    if (useRK && fr.TotalSize() > BackupSizeQuestionBytes)
        useRK = AskRKUsageDecision() == TFRRKUsage::rkuUseRK;
    std::unique_ptr<IRemoveStrategy> strategy =
        useRK
            ? fr.FSystem->BackedUpStrategy(fr.FProduct.DisplayName, [this] { return AskFreeSpaceDecision(); })
            : fr.FSystem->Strategy();

    StatisticsLog::Add(L"Removing services if any...");
    RemoveServices(fr.FSvcList, *strategy);

    StatisticsLog::Add(L"Unlocking app files...");
    try {
        fr.FSystem->UnlockFiles(FAppFolders);
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
    StatisticsLog::Add(L"Unlocking app files finished");

    CheckFiles(*strategy);
    AskBlockedFilesDecision(*strategy);
    RemoveFiles(*strategy);
    RemoveRegistryEntries(*strategy);
    fr.FSharedDlls.Recalculate(*strategy);
}

// Questions are published after the pause, so that a front end that answers
// at once resumes a paused worker.
TFRRKUsage TForceRemoveThread::AskRKUsageDecision() {
    TForceRemove& fr = FForceRemove;
    while (fr.RKUsageDecision() == TFRRKUsage::rkuNone) {
        fr.Suspend();
        fr.FRequiredAction = TFRRequiredAction::frqRKUsageDecision;
        CheckPaused();
    }
    fr.FRequiredAction = TFRRequiredAction::frqNone;
    return fr.RKUsageDecision();
}

// Asked at most once per removal: the decision stays.
bool TForceRemoveThread::AskFreeSpaceDecision() {
    TForceRemove& fr = FForceRemove;
    while (fr.RKFreeSpaceDecision() == TFRFreeSpaceDecision::rksNone) {
        fr.Suspend();
        fr.FRequiredAction = TFRRequiredAction::frqRKFreeSpaceDecision;
        CheckPaused();
    }
    fr.FRequiredAction = TFRRequiredAction::frqNone;
    return fr.RKFreeSpaceDecision() == TFRFreeSpaceDecision::rksNotUseRK;
}

void TForceRemoveThread::CheckFiles(IRemoveStrategy& strategy) {
    TForceRemove& fr = FForceRemove;
    StatisticsLog::Add(L"Checking files can be removed...");
    fr.FAction = TFRAction::fraCheckingFiles;
    const size_t count = fr.FFileList.Count();
    for (size_t i = 0; i < count; ++i) {
        CheckPaused();
        TFRFile& entry = fr.FFileList.GetItem(i);
        if (!entry.IsFolder()) {
            entry.SetCanRemove(CanRemoveFile(strategy, entry.Path()));
            if (!entry.CanRemove()) {
                std::lock_guard lock(fr.FLockCS);
                fr.FBlockedFiles.push_back(entry.Path());
            }
        }
        fr.FCheckProgress = Percent(i, count);
    }
    fr.FCheckProgress = 100;
    StatisticsLog::Add(L"CheckCanRemove finished successfully");
}

// A read-only file loses that bit first (through the strategy, so that a
// backed-up removal can give it back).
bool TForceRemoveThread::CanRemoveFile(IRemoveStrategy& strategy, const std::wstring& path) {
    try {
        uint32_t attributes = strategy.FileGetAttr(path);
        if (attributes & ReadOnlyAttribute)
            strategy.FileSetAttr(path, attributes & ~ReadOnlyAttribute);
        return FForceRemove.FSystem->OpensExclusively(path);
    } catch (...) {
        return false;
    }
}

void TForceRemoveThread::AskBlockedFilesDecision(IRemoveStrategy& strategy) {
    TForceRemove& fr = FForceRemove;
    auto noneBlocked = [&] {
        std::lock_guard lock(fr.FLockCS);
        return fr.FBlockedFiles.empty();
    };
    if (noneBlocked())
        return;
    while (fr.BlockedFilesDecision() == TFRBlockedFilesDecision::bfdNone && !noneBlocked()) {
        // Paused before the question shows, so that a front end that answers
        // at once resumes a paused worker.
        fr.Suspend();
        fr.FRequiredAction = TFRRequiredAction::frqBlockedFilesDecision;
        bool released = WaitForBlockedFiles(strategy);
        if (Terminated())
            throw EAbort();
        if (released)
            break;
    }
    fr.FRequiredAction = TFRRequiredAction::frqNone;
    fr.SetRunning();
}

bool TForceRemoveThread::WaitForBlockedFiles(IRemoveStrategy& strategy) {
    TForceRemove& fr = FForceRemove;
    while (fr.State() == TFRState::frsPaused && !Terminated()) {
        std::vector<std::wstring> blocked;
        {
            std::lock_guard lock(fr.FLockCS);
            blocked = fr.FBlockedFiles;
        }
        for (size_t i = blocked.size(); i-- > 0;) {
            if (!CanRemoveFile(strategy, blocked[i]))
                continue;
            std::lock_guard lock(fr.FLockCS);
            std::erase(fr.FBlockedFiles, blocked[i]);
            fr.FStateStamp = TickCount();
        }
        {
            std::lock_guard lock(fr.FLockCS);
            if (fr.FBlockedFiles.empty())
                return true;
        }
        SleepBy(BlockedFilesRetestMs);
    }
    return false;
}

void TForceRemoveThread::RemoveFiles(IRemoveStrategy& strategy) {
    TForceRemove& fr = FForceRemove;
    StatisticsLog::Add(L"Start removing files...");
    fr.FAction = TFRAction::fraRemovingFiles;
    const size_t count = fr.FFileList.Count();
    for (size_t i = 0; i < count; ++i) {
        TFRFile& entry = fr.FFileList.GetItem(i);
        fr.SetProcessing(entry.Path());
        try {
            if (entry.IsFolder()) {
                strategy.RemoveDir(entry.Path());
            } else {
                strategy.RemoveFile(entry.Path());
                fr.FRemovedSize += entry.Size();
                ++fr.FFilesProcessed;
            }
            // Recorded before the pause check: a termination there leaves it deleted.
            entry.Outcome().SetRemoved();
            fr.FFileProgress = Percent(i + 1, count);
            CheckPaused();
            SleepByAndCheck(PauseAfterEntryMs);
        } catch (const EAbort&) {
            throw;
        } catch (...) {
            entry.Outcome().SetFailed(ErrorMessage(std::current_exception()));
            StatisticsLog::AddError();
            // A termination during a question of the backup component fails the entry.
            if (Terminated())
                throw EAbort();
        }
    }
    fr.FFileProgress = 100;
}

void TForceRemoveThread::RemoveRegistryEntries(IRemoveStrategy& strategy) {
    TForceRemove& fr = FForceRemove;
    fr.FAction = TFRAction::fraRemovingRegistryKeys;
    const size_t count = fr.FRegKeys.Count();
    for (size_t i = count; i-- > 0;) {
        TFRRegEntry& entry = fr.FRegKeys.GetItem(i);
        fr.SetProcessing(entry.FullPath());
        try {
            strategy.RemoveKey(entry);
            entry.SetRemoved(true);
        } catch (...) {
            entry.SetRemoved(false);
        }
        ++fr.FRegistryKeysProcessed;
        fr.FRegistryProgress = Percent(static_cast<size_t>(fr.FRegistryKeysProcessed.load()), count);
        CheckPaused();
    }
}

} // namespace velmora
