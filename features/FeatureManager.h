#pragma once
// Base of the Windows-feature engines: the IFeatures collection over the
// top-level feature list, the reading thread, the switching worker and the
// change watch. An engine fills the tree in ReadFeatures on the reading
// thread and switches one feature at a time on the worker.
#include "api/Interfaces.Velmora.h"
#include "features/Feature.h"
#include "features/FeatureIconList.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/LiveObjects.h"
#include "platform/Registry.h"
#include "platform/Thread.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace velmora {

class TProcess;

class TFeatureManager : public TInterfacedObject<IFeatures>, public TLiveCount<TFeatureManager> {
public:
    explicit TFeatureManager(std::unique_ptr<TFeatureIconList> icons);
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
    // The stamp as it was on entry; a change the watch reports starts a read.
    uint64_t STDMETHODCALLTYPE GetStateStamp() override;
    HIMAGELIST STDMETHODCALLTYPE GetFeatureSmallImages() override;
    HIMAGELIST STDMETHODCALLTYPE GetFeatureLargeImages() override;
    int32_t STDMETHODCALLTYPE GetTotalCount() override;
    TInstallState STDMETHODCALLTYPE GetInstallState() override;
    TReadState STDMETHODCALLTYPE GetReadState() override;
    bool STDMETHODCALLTYPE GetShowHidden() override;
    void STDMETHODCALLTYPE SetShowHidden(bool Show) override;
    void STDMETHODCALLTYPE Stop() override;
    // One switch at a time: a request while one runs is dropped.
    void STDMETHODCALLTYPE InstallFeature(IFeature* Feature) override;
    void STDMETHODCALLTYPE UninstallFeature(IFeature* Feature) override;
    void STDMETHODCALLTYPE Refresh() override;

    // Where the engine writes its answer file: the user's application-data
    // folder, "Velmora\Helper\", the base name; the folder is created.
    virtual std::wstring GetAnswerFileName();

    // Writes the answer file and hands it back open for reading, shared for
    // reading alone: the user's folder is writable by the user's programs,
    // and the tool, which runs with administrator rights, must read what was
    // written. Held until the tool has ended. Throws when the file cannot be
    // written or no longer holds bytes when it is locked.
    static unique_file WriteLockedFile(const std::wstring& fileName, std::string_view bytes);

protected:
    // Runs on the reading thread; rebuilds the tree, calling
    // TThread::CheckTerminated between long steps.
    virtual void ReadFeatures(TThread& thread) = 0;
    // Run on the worker; return when the system tool has finished.
    // Both switch through SwitchFeature unless an engine replaces them.
    virtual void DoInstallFeature(IFeature* feature, TThread& thread) {
        SwitchFeature(feature, true, thread);
    }
    virtual void DoUninstallFeature(IFeature* feature, TThread& thread) {
        SwitchFeature(feature, false, thread);
    }
    // Writes the engine's answer file for the wanted state and runs its tool.
    virtual void SwitchFeature(IFeature* feature, bool enable, TThread& thread) = 0;
    // (Re)arms the change notification, as a rule through WatchRegistryKey.
    virtual void WatchChanges() = 0;
    // True once after the watched key changed while no switch ran (a change
    // during a switch is taken and dropped); the first call only arms the watch.
    virtual bool PollChanges();
    virtual std::wstring GetAnswerFileBaseName() { return L"unattended.xml"; }

    // Starts body on the switching worker with feature, showing state until it
    // ends; false when a switch runs (the request is dropped).
    using TFeatureProc = std::function<void(IFeature* feature, TThread& thread)>;
    bool StartWorker(IFeature* feature, TInstallState state, TFeatureProc body);

    // Engines call this first in their destructors: the threads run their
    // operations, so they must end before the engine is gone.
    void FreeThreads();

    TFeatures& Features() { return FFeatures; }
    TFeatureIconList& IconList() { return *FIconImageList; }

    // Runs a command line hidden until it ends or thread is asked to stop;
    // then onFinish (when given) or the runner's own error report sees the
    // result. Returns the result parsed from the tool's output. A query (with
    // onFinish) is ended when thread is stopped; a switch is left to finish,
    // since a system tool interrupted while it changes the system may leave
    // it half changed.
    using TFinishHandler = std::function<void(TProcess& process, int32_t result)>;
    int32_t RunCommand(const std::wstring& commandLine, TThread& thread, const TFinishHandler& onFinish = {});
    // Watches the key's subtree (names and values) on FWaitEvent. False, with
    // no key kept, when the key cannot be opened or watched.
    bool WatchRegistryKey(HKEY root, REGSAM access, std::wstring_view subkey);

private:
    class TReadThread;
    class TFeaturePocess;

    std::mutex FFeatureThreadSync;
    std::unique_ptr<TReadThread> FFeatureThread;
    std::atomic<TInstallState> FInstallState{TInstallState::isNone};
    std::atomic<TReadState> FReadState{TReadState::rsNonw};
    std::atomic<bool> FShowHidden{false};
    unique_handle FWaitEvent;
    std::mutex FWaitSync; // guards FWaitKey: polls come from any caller thread
    TRegKey FWaitKey;
    std::unique_ptr<TFeaturePocess> FProcessThread;
    TFeatures FFeatures;
    std::unique_ptr<TFeatureIconList> FIconImageList;
};

} // namespace velmora
