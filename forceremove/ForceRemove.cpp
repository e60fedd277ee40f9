#include "forceremove/ForceRemove.h"

#include "forceremove/ForceRemoveThread.h"

#include <algorithm>

namespace velmora {

TForceRemove::TForceRemove(TFRProduct product, std::unique_ptr<TRemovalSystem> system)
    : FProduct(std::move(product)), FSystem(std::move(system)), FSharedDlls(FSystem->SharedDllCounts()),
      FFileList(FSharedDlls), FRegKeys(FSystem->Is64BitWindows()) {
    FRegKeys.AddKeys(FProduct.RegistryKeys);
}

TForceRemove::~TForceRemove() {
    std::unique_ptr<TForceRemoveThread> thread;
    {
        std::lock_guard lock(FThreadLock);
        thread = std::move(FThread);
    }
    thread.reset(); // terminates and waits: the worker may resume the removal meanwhile
}

std::wstring TForceRemove::Processing() const {
    std::lock_guard lock(FProcessingLock);
    return FProcessing;
}

void TForceRemove::SetProcessing(std::wstring path) {
    std::lock_guard lock(FProcessingLock);
    FProcessing = std::move(path);
}

size_t TForceRemove::BlockedFileCount() {
    std::lock_guard lock(FLockCS);
    return FBlockedFiles.size();
}

std::wstring TForceRemove::BlockedFile(size_t index) {
    std::lock_guard lock(FLockCS);
    return index < FBlockedFiles.size() ? FBlockedFiles[index] : std::wstring();
}

bool TForceRemove::Scanning() const {
    return FScanning.load();
}

int64_t TForceRemove::TotalSize() const {
    return Scanning() ? 0 : FFileList.TotalSize();
}

int32_t TForceRemove::TotalFiles() const {
    return Scanning() ? 0 : FFileList.TotalFiles();
}

size_t TForceRemove::DataFileCount() const {
    return Scanning() ? 0 : FDataFileList.size();
}

TFRFile& TForceRemove::DataFile(size_t index) const {
    if (index >= DataFileCount())
        throw std::out_of_range("List index out of bounds");
    return *FDataFileList[index];
}

size_t TForceRemove::FileCount() const {
    return Scanning() ? 0 : FFileList.Count();
}

TFRFile& TForceRemove::File(size_t index) const {
    if (index >= FileCount())
        throw std::out_of_range("List index out of bounds");
    return FFileList.GetItem(index);
}

size_t TForceRemove::RegEntryCount() const {
    return Scanning() ? 0 : FRegKeys.Count();
}

TFRRegEntry& TForceRemove::RegEntry(size_t index) const {
    if (index >= RegEntryCount())
        throw std::out_of_range("List index out of bounds");
    return FRegKeys.GetItem(index);
}

size_t TForceRemove::ShortcutCount() const {
    return Scanning() ? 0 : FShortcutList.Count();
}

TFRShortcut& TForceRemove::Shortcut(size_t index) const {
    if (index >= ShortcutCount())
        throw std::out_of_range("List index out of bounds");
    return FShortcutList.GetItem(index);
}

size_t TForceRemove::ServiceCount() const {
    return Scanning() ? 0 : FSvcList.size();
}

TFRService& TForceRemove::Service(size_t index) const {
    if (index >= ServiceCount())
        throw std::out_of_range("List index out of bounds");
    return *FSvcList[index];
}

int32_t TForceRemove::RemovedShortcutCount() const {
    int32_t count = 0;
    for (size_t i = 0; i < ShortcutCount(); ++i)
        count += Shortcut(i).ShortcutFile().Outcome().Removed() ? 1 : 0;
    return count;
}

int32_t TForceRemove::RemovedServiceCount() const {
    int32_t count = 0;
    for (size_t i = 0; i < ServiceCount(); ++i)
        count += Service(i).Outcome().Removed() ? 1 : 0;
    return count;
}

int64_t TForceRemove::RemoveProgress() const {
    return (20 * int64_t(FCheckProgress.load()) + 20 * int64_t(FRegistryProgress.load()) +
            60 * int64_t(FFileProgress.load())) /
           100;
}

void TForceRemove::StartCalculate() {
    if (!FCalcFinished)
        Resume();
}

void TForceRemove::StartRemove() {
    if (!FCalcFinished)
        return;
    FRemoveStarted = true;
    Resume();
}

void TForceRemove::Resume() {
    std::lock_guard lock(FThreadLock);
    // Between the end of the scan and StartRemove the worker stays paused.
    if (FCalcFinished && !FRemoveStarted)
        return;
    if (!SetRunning())
        return;
    if (!FThread) {
        try {
            FThread = std::make_unique<TForceRemoveThread>(*this);
        } catch (...) {
            SetFinished();
            throw;
        }
        FScanning = true;
        FTerminated = false; // a Terminate from here on holds
        FThread->Start();
    }
}

bool TForceRemove::SetRunning() {
    TFRState state = FState.load();
    do {
        if (state == TFRState::frsFinished)
            return false;
    } while (!FState.compare_exchange_weak(state, TFRState::frsRunning));
    FTimer.Resume();
    return true;
}

void TForceRemove::SetFinished() {
    FCheckProgress = 100;
    FRegistryProgress = 100;
    FFileProgress = 100;
    FScanning = false;
    FState = TFRState::frsFinished;
    FTimer.Stop();
    FCalcTasks.Clear();
}

void TForceRemove::Suspend() {
    TFRState running = TFRState::frsRunning;
    TFRState initial = TFRState::frsInitial;
    if (FState.compare_exchange_strong(running, TFRState::frsPaused) ||
        FState.compare_exchange_strong(initial, TFRState::frsPaused))
        FTimer.Suspend();
}

void TForceRemove::Terminate() {
    FTimer.Stop();
    std::lock_guard lock(FThreadLock);
    FTerminated = true;
    if (FThread)
        FThread->Terminate();
}

} // namespace velmora
