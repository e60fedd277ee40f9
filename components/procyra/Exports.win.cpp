// The two exports of ProcyraHelper.dll.
#include "components/procyra/Manager.h"

using namespace velmora;
using namespace velmora::procyra;

extern "C" {

// A new manager per call; any interface but IPYManager (and IUnknown)
// answers E_NOINTERFACE with a null object.
HRESULT WINAPI DllGetInstance(REFIID riid, void** Obj) {
    if (!Obj)
        return E_POINTER;
    *Obj = nullptr;
    try {
        TComPtr<IPYManager> manager = MakeCom<TPYManager, IPYManager>();
        return manager->QueryInterface(riid, Obj);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI DllCanUnloadNow() {
    return LiveProcyraObjects() == 0 ? S_OK : S_FALSE;
}

} // extern "C"
