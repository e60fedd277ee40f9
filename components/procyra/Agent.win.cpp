// The exports of the agent libraries: the manager as a registrable COM class.
#include "components/procyra/AgentRegistration.h"
#include "components/Boundary.h"
#include "components/procyra/Manager.h"
#include "platform/Module.h"

#include <olectl.h>

#include <atomic>

using namespace velmora;
using namespace velmora::procyra;
using velmora::components::Guarded;

namespace {

// IClassFactory::LockServer calls outstanding.
std::atomic<int> GServerLocks{0};

class TAgentClassFactory : public TInterfacedObject<IClassFactory>, public TLiveCount<TAgentClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return Guarded(E_OUTOFMEMORY,
                       [&] { return MakeCom<TPYManager, IPYManager>()->QueryInterface(riid, object); });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++GServerLocks : --GServerLocks;
        return S_OK;
    }
};

} // namespace

extern "C" {

HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_PYAgentManager))
        return CLASS_E_CLASSNOTAVAILABLE;
    return Guarded(E_OUTOFMEMORY,
                   [&] { return MakeCom<TAgentClassFactory, IClassFactory>()->QueryInterface(riid, ppv); });
}

HRESULT WINAPI DllCanUnloadNow() {
    return LiveProcyraObjects() + LiveObjectCount<TAgentClassFactory>() + GServerLocks == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllRegisterServer() {
    return Guarded(SELFREG_E_CLASS, [] { return RegisterAgentClass(ThisModuleFileName()); });
}

HRESULT WINAPI DllUnregisterServer() {
    return Guarded(SELFREG_E_CLASS, [] { return UnregisterAgentClass(ThisModuleFileName()); });
}

} // extern "C"
