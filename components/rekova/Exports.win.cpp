// The two exports of RekovaHelper.dll.
#include "components/rekova/Rekova.h"

using namespace velmora;
using namespace velmora::rekova;

extern "C" {

// A new root object per call; any interface but IRekova (and IUnknown)
// answers E_NOINTERFACE with a null object.
HRESULT WINAPI DllGetInstance(REFIID riid, void** Obj) {
    if (!Obj)
        return E_POINTER;
    *Obj = nullptr;
    try {
        TComPtr<IRekova> rekova = MakeCom<TRekova, IRekova>();
        return rekova->QueryInterface(riid, Obj);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI DllCanUnloadNow() {
    return LiveRekovaObjects() == 0 ? S_OK : S_FALSE;
}

} // extern "C"
