#pragma once
// Base of the Windows-feature engines: the IFeatures collection over the
// top-level feature list, the reading thread and the read state. Engines fill
// the tree in ReadFeatures on that thread.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"
#include "platform/Thread.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace velmora {

class TFeatureManager : public TInterfacedObject<IFeatures>, public TLiveCount<TFeatureManager> {
public:
    TFeatureManager();
    ~TFeatureManager() override;

    // The engine's class name, for the diagnostic log.
    virtual const wchar_t* ClassName() const = 0;

    // IProductCollection
    int32_t STDMETHODCALLTYPE GetInfoMask() override;
    int32_t STDMETHODCALLTYPE GetCount() override;
    void STDMETHODCALLTYPE GetItem(int32_t Index, IProduct** Product) override;
    HIMAGELIST STDMETHODCALLTYPE GetSmallImages() override;
    HIMAGELIST STDMETHODCALLTYPE GetLargeImages() override;
    bool STDMETHODCALLTYPE IsAnyActionRunning() override;
    void STDMETHODCALLTYPE Lock() override;
    void STDMETHODCALLTYPE Unlock() override;

    // IFeatures
    void STDMETHODCALLTYPE GetFeature(int32_t Index, IFeature** Feature) override;
    int32_t STDMETHODCALLTYPE GetFeatureCount() override;
    uint64_t STDMETHODCALLTYPE GetStateStamp() override;
    HIMAGELIST STDMETHODCALLTYPE GetFeatureSmallImages() override;
    HIMAGELIST STDMETHODCALLTYPE GetFeatureLargeImages() override;
    int32_t STDMETHODCALLTYPE GetTotalCount() override;
    TInstallState STDMETHODCALLTYPE GetInstallState() override;
    TReadState STDMETHODCALLTYPE GetReadState() override;
    bool STDMETHODCALLTYPE GetShowHidden() override;
    void STDMETHODCALLTYPE SetShowHidden(bool Show) override;
    void STDMETHODCALLTYPE Stop() override;
    void STDMETHODCALLTYPE InstallFeature(IFeature* Feature) override;
    void STDMETHODCALLTYPE UninstallFeature(IFeature* Feature) override;
    void STDMETHODCALLTYPE Refresh() override;

protected:
    // Runs on the reading thread; rebuilds the tree, calling
    // TThread::CheckTerminated between long steps.
    virtual void ReadFeatures(TThread& thread) = 0;

    // Engines call this first in their destructors: the thread runs their
    // ReadFeatures, so it must end before they are gone.
    void FreeReadingThread();

    void ClearFeatures();
    void AddFeature(TComPtr<IFeature> feature);

private:
    class TReadThread;
    void MarkChanged();

    std::mutex FFeatureThreadSync;
    std::unique_ptr<TReadThread> FFeatureThread;
    std::atomic<TInstallState> FInstallState{TInstallState::isNone};
    std::atomic<TReadState> FReadState{TReadState::rsNonw};
    std::atomic<bool> FShowHidden{false};
    std::recursive_mutex FListLock;
    std::vector<TComPtr<IFeature>> FFeatures;
    std::atomic<uint64_t> FStateStamp{0};
};

} // namespace velmora
