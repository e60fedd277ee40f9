#include "features/FeatureManager.h"

#include "console/Process.h"
#include "frame/Boundary.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/Paths.h"

#include <filesystem>
#include <stdexcept>

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

// The worker of one switch.
class TFeatureManager::TFeaturePocess : public TThread {
public:
    TFeaturePocess(TFeatureProc proc, IFeature* feature) : FProc(std::move(proc)), FFeature(feature) {}
    ~TFeaturePocess() override { TerminateAndWait(); }

protected:
    void Execute() override { FProc(FFeature.get(), *this); }
    void HandleError(std::exception_ptr error) override { StatisticsLog::AddError(error); }

private:
    TFeatureProc FProc;
    TComPtr<IFeature> FFeature;
};

TFeatureManager::TFeatureManager(std::unique_ptr<TFeatureIconList> icons)
    : FWaitEvent(CreateEventW(nullptr, FALSE, FALSE, nullptr)), FIconImageList(std::move(icons)) {}

TFeatureManager::~TFeatureManager() {
    FreeThreads();
}

void TFeatureManager::FreeThreads() {
    std::unique_ptr<TReadThread> reader;
    {
        std::lock_guard lock(FFeatureThreadSync);
        reader = std::move(FFeatureThread);
    }
    if (reader)
        reader->SetOnTerminate(nullptr);
    reader.reset();
    std::unique_ptr<TFeaturePocess> worker;
    {
        std::lock_guard lock(FLock);
        worker = std::move(FProcessThread);
    }
    if (worker)
        worker->SetOnTerminate(nullptr);
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
    if (!Product)
        return;
    TComPtr<IFeature> feature;
    GetFeature(Index, feature.put());
    *Product = feature.Detach();
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
    FFeatures.Lock();
}
void TFeatureManager::Unlock() {
    FFeatures.Unlock();
}

void TFeatureManager::GetFeature(int32_t Index, IFeature** Feature) {
    if (!Feature)
        return;
    *Feature = nullptr;
    Guarded([&] { *Feature = FFeatures.Item(Index).Detach(); });
}

int32_t TFeatureManager::GetFeatureCount() {
    return FFeatures.Count();
}

uint64_t TFeatureManager::GetStateStamp() {
    uint64_t stamp = FFeatures.StateStamp();
    Guarded([&] {
        if (PollChanges())
            Refresh();
    });
    return stamp;
}

HIMAGELIST TFeatureManager::GetFeatureSmallImages() {
    return FIconImageList->SmallIcons();
}
HIMAGELIST TFeatureManager::GetFeatureLargeImages() {
    return FIconImageList->LargeIcons();
}

int32_t TFeatureManager::GetTotalCount() {
    return Guarded(0, [&] { return FFeatures.TotalCount(); });
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

void TFeatureManager::InstallFeature(IFeature* Feature) {
    Guarded([&] {
        StartWorker(Feature, TInstallState::isInstalling,
                    [this](IFeature* feature, TThread& thread) { DoInstallFeature(feature, thread); });
    });
}

void TFeatureManager::UninstallFeature(IFeature* Feature) {
    Guarded([&] {
        StartWorker(Feature, TInstallState::isUninstalling,
                    [this](IFeature* feature, TThread& thread) { DoUninstallFeature(feature, thread); });
    });
}

bool TFeatureManager::StartWorker(IFeature* feature, TInstallState state, TFeatureProc body) {
    if (!feature)
        return false;
    std::lock_guard lock(FLock);
    if (FProcessThread && !FProcessThread->Finished())
        return false;
    FProcessThread.reset();
    FProcessThread = std::make_unique<TFeaturePocess>(std::move(body), feature);
    FInstallState = state;
    FProcessThread->SetOnTerminate([this] { FInstallState = TInstallState::isNone; });
    FProcessThread->Start();
    return true;
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
            FFeatures.Changed();
        });
        FFeatureThread->Start();
    });
}

// After the event fired the kept key is armed again: closing a key whose
// notification is pending would signal the event, and each poll during a
// switch would then report one more change.
bool TFeatureManager::PollChanges() {
    std::unique_lock lock(FWaitSync);
    if (!FWaitKey) {
        lock.unlock();
        WatchChanges();
        return false;
    }
    if (WaitForSingleObject(FWaitEvent.get(), 0) != WAIT_OBJECT_0)
        return false;
    if (!FWaitKey.NotifyChangeAnyThread(FWaitEvent.get()))
        FWaitKey = TRegKey();
    return FInstallState == TInstallState::isNone;
}

bool TFeatureManager::WatchRegistryKey(HKEY root, REGSAM access, std::wstring_view subkey) {
    while (!subkey.empty() && subkey.front() == L'\\')
        subkey.remove_prefix(1);
    std::lock_guard lock(FWaitSync);
    FWaitKey = TRegKey::Open(root, subkey, access | KEY_NOTIFY);
    // Polls come from the front end's threads, which may end before the watch.
    if (FWaitKey && FWaitKey.NotifyChangeAnyThread(FWaitEvent.get()))
        return true;
    FWaitKey = TRegKey();
    return false;
}

std::wstring TFeatureManager::GetAnswerFileName() {
    std::wstring folder = AppDataFolder() + L"\\Velmora\\Helper\\";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder + GetAnswerFileBaseName();
}

unique_file TFeatureManager::WriteLockedFile(const std::wstring& fileName, std::string_view bytes) {
    {
        unique_file file(CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        CheckOS(file &&
                    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr),
                L"Writing " + fileName);
    }
    unique_file locked(CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    CheckOS(static_cast<bool>(locked), L"Locking " + fileName);
    // Another program may have written it between the two openings.
    std::string read(bytes.size() + 1, '\0');
    DWORD count = 0;
    CheckOS(ReadFile(locked.get(), read.data(), static_cast<DWORD>(read.size()), &count, nullptr),
            L"Reading " + fileName);
    if (std::string_view(read.data(), count) != bytes)
        throw std::runtime_error(Narrow(L"The answer file " + fileName + L" was changed by another program"));
    return locked;
}

int32_t TFeatureManager::RunCommand(const std::wstring& commandLine, TThread& thread,
                                    const TFinishHandler& onFinish) {
    TProcess process(commandLine, 0);
    process.FTerminateProccessAtAbort = static_cast<bool>(onFinish);
    int32_t result = process.DoExecute(thread);
    if (onFinish)
        onFinish(process, result);
    else
        process.DoFinish(result);
    return result;
}

} // namespace velmora
