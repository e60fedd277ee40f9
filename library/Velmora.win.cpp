#include "library/Velmora.h"

#include "features/FeatureManager.h"
#include "console/Process.h"
#include "frame/Boundary.h"
#include "features/FeatureEngineChoice.h"
#include "frame/Globals.h"
#include "library/RefreshARPCache.h"
#include "frame/StringsLocalized.h"
#include "library/WindowsFeaturesLauncher.h"
#include "inventory/ProductCollections.h"
#include "msi/MsiEngine.h"
#include "platform/ComText.h"
#include "platform/Handles.h"
#include "platform/LibraryGlobal.h"
#include "usage/AppUsage.h"

#include <memory>
#include <mutex>
#include <optional>

namespace velmora {

namespace {

// Library-wide state of the root objects. The front end sets the callbacks
// before it starts reading; the mutex only keeps the reference counting of
// a concurrent replacement sound.
struct TRootState {
    std::mutex Lock;
    TComPtr<IFeatures> Features;
    TFeatureManager* Engine = nullptr;
    TNotifyHandler NotifyHandler{};
    TComPtr<IErrorCallback> ErrorCallback;
    TComPtr<IQuestionCallback> QuestionCallback;
    // From the first root object until the teardown of the last begins. The
    // list-read hook may still be running on the reading thread when it
    // ends: a request is then refused and no refresh starts.
    bool CycleAlive = false;
    bool ARPRefreshRequested = false;
    std::unique_ptr<TRefreshARPCache> ARPRefreshThread;
};

TRootState& Root() {
    static TLibraryGlobal<TRootState> state;
    return *state;
}

template <class I> void CopyOut(const TComPtr<I>& source, I** out) {
    if (!out)
        return;
    *out = nullptr;
    std::lock_guard lock(Root().Lock);
    source.CopyTo(out);
}

template <class Collection> void NewCollection(IProductCollection** out) {
    Guarded([&] {
        if (!out)
            return;
        *out = nullptr;
        *out = MakeCom<Collection, IProductCollection>().Detach();
    });
}

} // namespace

TInstanceCycle& TVelmora::Cycle() {
    static TInstanceCycle cycle(&FirstInstanceCreate, &LastInstanceDestroy);
    return cycle;
}

TVelmora::TVelmora() = default;
TVelmora::~TVelmora() = default;

void TVelmora::FirstInstanceCreate() {
    DebugLog().WriteLog(TLogLevel::llInfo, L"Choosing component engine");
    TFeatureManager* engine = CreateFeatureEngine();
    DebugLog().WriteLogF(TLogLevel::llInfo, L"Component engine: %s", engine->ClassName());
    {
        auto& root = Root();
        std::lock_guard lock(root.Lock);
        root.Features = TComPtr<IFeatures>(engine);
        root.Engine = engine;
        root.CycleAlive = true;
        root.ARPRefreshRequested = false;
    }
    TLocationOwner::SetOnListRead(&ListRead);
    // Both run on the reading thread, which never runs them at once.
    TLocationOwner::SetUsageRefresh([] { TAppUsage::Instance().Refresh(); });
    TLocationOwner::SetFolderUsage([](const std::wstring& folder, int32_t& counter, double& lastUsed) {
        const TUsageData usage = TAppUsage::Instance().CollectByFolder(folder);
        counter = usage.Counter;
        lastUsed = usage.LastUsed;
    });
    // The console runner asks the callbacks current at the moment it asks;
    // without them it shows its own message boxes.
    TProcess::SetQuestionHook(
        [](const std::wstring& question, const std::wstring& caption) -> std::optional<bool> {
            TComPtr<IQuestionCallback> callback = QuestionCallback();
            if (!callback)
                return std::nullopt;
            return callback->AskYesNo(question.c_str(), caption.c_str());
        });
    TProcess::SetErrorHook([](const std::wstring& text) {
        TComPtr<IErrorCallback> callback = ErrorCallback();
        if (!callback)
            return false;
        callback->ShowError(text.c_str());
        return true;
    });
    // The inventory's last owner releases the reputation component and frees
    // the installer engine (closing its handles on its own thread and ending
    // that thread); set here, never cleared, because collections may outlive
    // every root object.
    TLocationOwner::SetFinalizeInterfaces([] {
        DLLGlobals::FinalizeInterfaces();
        TMsiEngine::FreeInstance();
    });
    TMsiEngine::SetNoticeSink(
        [](const std::wstring& text) { DebugLog().WriteLog(TLogLevel::llWarning, text); });
}

void TVelmora::LastInstanceDestroy() {
    auto& root = Root();
    std::unique_ptr<TRefreshARPCache> arpThread;
    TComPtr<IFeatures> features;
    TComPtr<IErrorCallback> errorCallback;
    TComPtr<IQuestionCallback> questionCallback;
    {
        std::lock_guard lock(root.Lock);
        root.CycleAlive = false;
        root.ARPRefreshRequested = false;
        root.NotifyHandler = {};
        errorCallback = std::move(root.ErrorCallback);
        questionCallback = std::move(root.QuestionCallback);
    }
    TProcess::SetQuestionHook(nullptr);
    TProcess::SetErrorHook(nullptr);
    errorCallback.reset();
    questionCallback.reset();
    TLocationOwner::SetOnListRead(nullptr);
    TLocationOwner::SetUsageRefresh(nullptr);
    TLocationOwner::SetFolderUsage(nullptr);
    {
        std::lock_guard lock(root.Lock);
        features = std::move(root.Features);
        root.Engine = nullptr;
        arpThread = std::move(root.ARPRefreshThread);
    }
    // Released outside the lock: the engine's and the thread's ends wait for
    // their threads.
    features.reset();
    arpThread.reset();
}

// Runs on the reading thread after the first pass of a full read. The last
// root object may be torn down meanwhile: the thread is then started, if at
// all, before the teardown takes it, never after.
void TVelmora::ListRead() {
    auto& root = Root();
    TComPtr<IFeatures> features;
    {
        std::lock_guard lock(root.Lock);
        features = root.Features;
    }
    if (features)
        features->Refresh();
    std::lock_guard lock(root.Lock);
    if (!root.CycleAlive || !root.ARPRefreshRequested)
        return;
    root.ARPRefreshRequested = false;
    if (!root.ARPRefreshThread) {
        root.ARPRefreshThread = std::make_unique<TRefreshARPCache>();
        root.ARPRefreshThread->Start();
    }
}

TComPtr<IErrorCallback> TVelmora::ErrorCallback() {
    std::lock_guard lock(Root().Lock);
    return Root().ErrorCallback;
}

TComPtr<IQuestionCallback> TVelmora::QuestionCallback() {
    std::lock_guard lock(Root().Lock);
    return Root().QuestionCallback;
}

TFeatureManager* TVelmora::FeatureManager() {
    std::lock_guard lock(Root().Lock);
    return Root().Engine;
}

TThread* TVelmora::ARPRefreshThread() {
    std::lock_guard lock(Root().Lock);
    return Root().ARPRefreshThread.get();
}

void TVelmora::GetPrograms(IProductCollection** Programs) {
    NewCollection<TItemProgramCollection>(Programs);
}

void TVelmora::GetUpdates(IProductCollection** Updates) {
    NewCollection<TItemUpdateCollection>(Updates);
}

void TVelmora::GetUnusedPrograms(IProductCollection** Programs) {
    NewCollection<TItemUnusedCollection>(Programs);
}

TReadState TVelmora::GetReadState() {
    return TLocationOwner::GetReadState();
}

void TVelmora::GetOnNotify(TNotifyHandler* Handler) {
    if (!Handler)
        return;
    std::lock_guard lock(Root().Lock);
    *Handler = Root().NotifyHandler;
}

void TVelmora::SetOnNotify(TNotifyHandler Handler) {
    std::lock_guard lock(Root().Lock);
    Root().NotifyHandler = Handler;
}

void TVelmora::GetErrorCallback(IErrorCallback** Callback) {
    CopyOut(Root().ErrorCallback, Callback);
}

void TVelmora::SetErrorCallback(IErrorCallback* Callback) {
    TComPtr<IErrorCallback> old(Callback);
    {
        std::lock_guard lock(Root().Lock);
        std::swap(Root().ErrorCallback, old);
    }
}

void TVelmora::GetQuestionCallback(IQuestionCallback** Callback) {
    CopyOut(Root().QuestionCallback, Callback);
}

void TVelmora::SetQuestionCallback(IQuestionCallback* Callback) {
    TComPtr<IQuestionCallback> old(Callback);
    {
        std::lock_guard lock(Root().Lock);
        std::swap(Root().QuestionCallback, old);
    }
}

void TVelmora::GetFeatures(IFeatures** Features) {
    CopyOut(Root().Features, Features);
}

void TVelmora::ShowWindowsFeatures() {
    Guarded([] { LaunchWindowsFeatures(); });
}

void TVelmora::Refresh() {
    Guarded([] { TLocationOwner::StartReading(false); });
}

void TVelmora::RefreshProgramList() {
    Guarded([] { TLocationOwner::StartReading(true); });
}

void TVelmora::RequestARPCacheRefresh() {
    std::lock_guard lock(Root().Lock);
    if (Root().CycleAlive)
        Root().ARPRefreshRequested = true;
}

void TVelmora::ReadUpdates() {
    Guarded([] { TLocationOwner::ReadUpdates(); });
}

void TVelmora::Stop() {
    Guarded([] {
        TComPtr<IFeatures> features;
        {
            std::lock_guard lock(Root().Lock);
            features = Root().Features;
        }
        if (features)
            features->Stop();
        TLocationOwner::StopAll();
    });
}

void TVelmora::SetLocalizedStrings(IVelmoraStrings* Strings) {
    Guarded([&] {
        if (!Strings)
            return;
        DLLStringsLocalized::SetStrings([&](const std::wstring& name) {
            unique_bstr value;
            Strings->GetValue(name.c_str(), value.put());
            return BstrText(value.get());
        });
    });
}

} // namespace velmora
