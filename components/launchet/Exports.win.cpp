// The two exports of LaunchetHelper.dll.
#include "components/launchet/AppCollection.h"
#include "platform/Thread.h"

using namespace velmora;
using namespace velmora::launchet;

extern "C" {

// A new app collection per call, loading at once; any interface but
// IMetroAppCollection, IMetroAppItemList (and IUnknown) answers E_NOINTERFACE
// with a null object.
HRESULT WINAPI DllGetInstance(REFIID riid, void** Obj) {
    if (!Obj)
        return E_POINTER;
    *Obj = nullptr;
    try {
        TComPtr<IMetroAppCollection> collection = MakeCom<TAppCollection, IMetroAppCollection>();
        return collection->QueryInterface(riid, Obj);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// Unloadable when no collection or entry lives and the loading threads have
// been joined.
HRESULT WINAPI DllCanUnloadNow() {
    return LiveLaunchetObjects() == 0 && LibraryThreadCount() == 0 ? S_OK : S_FALSE;
}

} // extern "C"
