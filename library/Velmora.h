#pragma once
// The root object handed out by DllGetInstance. All root objects share the
// library-wide state below, set up with the first and torn down with the last.
#include "api/Interfaces.Velmora.h"
#include "inventory/LocationOwner.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"
#include "platform/Thread.h"

namespace velmora {

class TFeatureManager;

// TLiveCount comes first so that the object counts as alive until the shared
// state of both instance cycles is torn down.
class TVelmora : public TLiveCount<TVelmora>, public TLocationOwner, public TInterfacedObject<IVelmora> {
public:
    TVelmora();
    ~TVelmora() override;

    void STDMETHODCALLTYPE GetPrograms(IProductCollection** Programs) override;
    void STDMETHODCALLTYPE GetUpdates(IProductCollection** Updates) override;
    TReadState STDMETHODCALLTYPE GetReadState() override;
    void STDMETHODCALLTYPE GetOnNotify(TNotifyHandler* Handler) override;
    void STDMETHODCALLTYPE SetOnNotify(TNotifyHandler Handler) override;
    void STDMETHODCALLTYPE GetErrorCallback(IErrorCallback** Callback) override;
    void STDMETHODCALLTYPE SetErrorCallback(IErrorCallback* Callback) override;
    void STDMETHODCALLTYPE GetQuestionCallback(IQuestionCallback** Callback) override;
    void STDMETHODCALLTYPE SetQuestionCallback(IQuestionCallback* Callback) override;
    void STDMETHODCALLTYPE GetFeatures(IFeatures** Features) override;
    void STDMETHODCALLTYPE GetUnusedPrograms(IProductCollection** Programs) override;
    void STDMETHODCALLTYPE ShowWindowsFeatures() override;
    void STDMETHODCALLTYPE Refresh() override;
    void STDMETHODCALLTYPE RequestARPCacheRefresh() override;
    void STDMETHODCALLTYPE ReadUpdates() override;
    void STDMETHODCALLTYPE Stop() override;
    void STDMETHODCALLTYPE SetLocalizedStrings(IVelmoraStrings* Strings) override;
    void STDMETHODCALLTYPE RefreshProgramList() override;

    // The front end's callbacks, for the console runner (empty when unset).
    static TComPtr<IErrorCallback> ErrorCallback();
    static TComPtr<IQuestionCallback> QuestionCallback();
    // The engine chosen for this Windows version while a root object lives.
    static TFeatureManager* FeatureManager();
    // The ARP cache refresh of this first-instance cycle, once started.
    static TThread* ARPRefreshThread();

private:
    static void FirstInstanceCreate();
    static void LastInstanceDestroy();
    static void ListRead();
    static TInstanceCycle& Cycle();

    TCycleMember FMember{Cycle()};
};

} // namespace velmora
