// The two exports of TrustikaHelper.dll.
#include "components/trustika/Trustika.h"

using namespace velmora;
using namespace velmora::trustika;

extern "C" {

// A new rating object per call; any interface but ITrustika (and IUnknown)
// answers E_NOINTERFACE with a null object.
HRESULT WINAPI DllGetInstance(REFIID riid, void** Obj) {
    if (!Obj)
        return E_POINTER;
    *Obj = nullptr;
    try {
        TComPtr<ITrustika> trustika = MakeCom<TTrustika, ITrustika>();
        return trustika->QueryInterface(riid, Obj);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WINAPI DllCanUnloadNow() {
    return LiveObjectCount<TTrustika>() == 0 ? S_OK : S_FALSE;
}

} // extern "C"
