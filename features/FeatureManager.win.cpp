#include "features/FeatureManager.h"

#include "frame/Boundary.h"

namespace velmora {

class TFeatureManager::TReadThread : public TThread {
public:
    explicit TReadThread(TFeatureManager& owner) : FOwner(owner) {}
    ~TReadThread() override { TerminateAndWait(); }

protected:
    void Execute() override { FOwner.ReadFeatures(*this); }
    void HandleError(std::exception_ptr error) override { StatisticsLog::AddError(error); }

private:
    TFeatureManager& FOwner;
};

TFeatureManager::TFeatureManager() = default;

TFeatureManager::~TFeatureManager() {
    FreeReadingThread();
}

void TFeatureManager::FreeReadingThread() {
    std::unique_ptr<TReadThread> thread;
    {
        std::lock_guard lock(FFeatureThreadSync);
        thread = std::move(FFeatureThread);
    }
    if (thread)
        thread->SetOnTerminate(nullptr);
}

// The information a feature answers.
constexpr int32_t FeatureInfoMask =
    InfoBit(piDisplayName) | InfoBit(piInstallLocation) | InfoBit(piInstallDate) | InfoBit(piComments) |
    InfoBit(piEstimatedSize) | InfoBit(piSoftwareRating) | InfoBit(piFeatureEnabled) |
    InfoBit(piFeaturePackageName) | InfoBit(piFeatureInstallUser) | InfoBit(piFeatureName);

int32_t TFeatureManager::GetInfoMask() {
    return FeatureInfoMask;
}

int32_t TFeatureManager::GetCount() {
    return GetFeatureCount();
}

void TFeatureManager::GetItem(int32_t Index, IProduct** Product) {
    Guarded([&] {
        if (!Product)
            return;
        *Product = nullptr;
        TComPtr<IFeature> feature;
        GetFeature(Index, feature.put());
        *Product = feature.Detach();
    });
}

HIMAGELIST TFeatureManager::GetSmallImages() {
    return GetFeatureSmallImages();
}
HIMAGELIST TFeatureManager::GetLargeImages() {
    return GetFeatureLargeImages();
}
bool TFeatureManager::IsAnyActionRunning() {
    return false;
}
void TFeatureManager::Lock() {
    FListLock.lock();
}
void TFeatureManager::Unlock() {
    FListLock.unlock();
}

void TFeatureManager::GetFeature(int32_t Index, IFeature** Feature) {
    Guarded([&] {
        if (!Feature)
            return;
        *Feature = nullptr;
        std::lock_guard lock(FListLock);
        if (Index >= 0 && static_cast<size_t>(Index) < FFeatures.size())
            FFeatures[Index].CopyTo(Feature);
    });
}

int32_t TFeatureManager::GetFeatureCount() {
    std::lock_guard lock(FListLock);
    return static_cast<int32_t>(FFeatures.size());
}

uint64_t TFeatureManager::GetStateStamp() {
    return FStateStamp.load();
}

// The engines' icon lists arrive with the feature tree.
HIMAGELIST TFeatureManager::GetFeatureSmallImages() {
    return nullptr;
}
HIMAGELIST TFeatureManager::GetFeatureLargeImages() {
    return nullptr;
}

int32_t TFeatureManager::GetTotalCount() {
    return Guarded(0, [&] {
        std::lock_guard lock(FListLock);
        int32_t total = 0;
        for (auto& feature : FFeatures)
            total += 1 + feature->GetTotalCount();
        return total;
    });
}

TInstallState TFeatureManager::GetInstallState() {
    return FInstallState.load();
}
TReadState TFeatureManager::GetReadState() {
    return FReadState.load();
}
bool TFeatureManager::GetShowHidden() {
    return FShowHidden.load();
}
void TFeatureManager::SetShowHidden(bool Show) {
    FShowHidden = Show;
}

void TFeatureManager::Stop() {
    Guarded([&] {
        std::lock_guard lock(FFeatureThreadSync);
        if (FFeatureThread) {
            FFeatureThread->SetOnTerminate(nullptr);
            FFeatureThread->Terminate();
        }
    });
}

// Switching features needs the engines' packaging tools; until an engine
// provides them a request changes nothing.
void TFeatureManager::InstallFeature(IFeature*) {
    DebugLog().WriteLogF(TLogLevel::llWarning, L"%s: switching features is not available", ClassName());
}

void TFeatureManager::UninstallFeature(IFeature*) {
    DebugLog().WriteLogF(TLogLevel::llWarning, L"%s: switching features is not available", ClassName());
}

void TFeatureManager::Refresh() {
    Guarded([&] {
        std::lock_guard lock(FFeatureThreadSync);
        if (FFeatureThread && FFeatureThread->Finished())
            FFeatureThread.reset();
        if (FFeatureThread)
            return;
        FFeatureThread = std::make_unique<TReadThread>(*this);
        FReadState = TReadState::rsLoading;
        FFeatureThread->SetOnTerminate([this] {
            FReadState = TReadState::rsLoaded;
            MarkChanged();
        });
        FFeatureThread->Start();
    });
}

void TFeatureManager::ClearFeatures() {
    {
        std::lock_guard lock(FListLock);
        FFeatures.clear();
    }
    MarkChanged();
}

void TFeatureManager::AddFeature(TComPtr<IFeature> feature) {
    {
        std::lock_guard lock(FListLock);
        FFeatures.push_back(std::move(feature));
    }
    MarkChanged();
}

void TFeatureManager::MarkChanged() {
    FStateStamp = GetTickCount();
}

} // namespace velmora
