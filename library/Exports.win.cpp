// The three exports of VelmoraHelper.dll.
#include "features/FeatureManager.h"
#include "forceremove/ForceRemoveIntf.h"
#include "frame/Boundary.h"
#include "library/Velmora.h"
#include "frame/VelmoraStrings.h"
#include "inventory/ItemProductIntf.h"
#include "inventory/LocationOwner.h"
#include "inventory/ProductCollections.h"
#include "locations/LocationExeInfo.h"
#include "locations/LocationRegistryUninstall.h"
#include "locations/LocationUninstallAppX.h"
#include "locations/LocationVistaUpdate.h"
#include "platform/FileVersionInfo.h"
#include "platform/LiveObjects.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Thread.h"

#include <shlwapi.h>

using namespace velmora;

extern "C" {

// Registers the inventory sources in reading order and how a product makes
// its forced removal. Nothing here waits or loads another library, as the
// loader lock is held.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            TLocationOwner::RegisterLocation<TLocationExeInfo>(L"TLocationExeInfo");
            TLocationOwner::RegisterLocation<TLocationRegistryUninstall>(L"TLocationRegistryUninstall");
            if (IsWindowsVistaOrLater())
                TLocationOwner::RegisterLocation<TLocationVistaUpdate>(L"TLocationVistaUpdate");
            // Store apps come last; their component is loaded when a cycle creates the location.
            if (IsWindows8OrLater())
                TLocationOwner::RegisterLocation<TLocationUninstallAppX>(L"TLocationUninstallAppX");
            TItemProductIntf::SetForceRemoveFactory(NewForceRemove);
        } else if (reason == DLL_PROCESS_DETACH && !reserved) {
            TLocationOwner::UnregisterLocations();
        }
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

HRESULT WINAPI DllGetInstance(REFIID riid, void** Obj) {
    if (!Obj)
        return E_POINTER;
    *Obj = nullptr;
    if (!IsEqualIID(riid, __uuidof(IVelmora)))
        return CLASS_E_CLASSNOTAVAILABLE;
    return Guarded(E_UNEXPECTED, [&] {
        *Obj = MakeCom<TVelmora, IVelmora>().Detach();
        return S_OK;
    });
}

// Exact: every class whose objects are handed out through interfaces counts,
// and so does every thread of the library until it has left the library's
// code (threads that freed their own objects are joined here).
HRESULT WINAPI DllCanUnloadNow() {
    int alive =
        LiveObjectCount<TVelmora, TFeatureManager, TItemProductIntf, TItemProgramCollection,
                        TItemUpdateCollection, TItemUnusedCollection, TVelmoraStrings, TForceRemoveIntf>();
    if (alive > 0)
        return S_FALSE;
    return Guarded(S_FALSE, [] { return LibraryThreadCount() == 0 ? S_OK : S_FALSE; });
}

HRESULT WINAPI DllGetVersion(DLLVERSIONINFO2* Info) {
    if (!Info)
        return E_POINTER;
    DWORD size = Info->info1.cbSize;
    if (size != sizeof(DLLVERSIONINFO) && size != sizeof(DLLVERSIONINFO2))
        return E_INVALIDARG;
    return Guarded(E_FAIL, [&] {
        TFileVersionInfo version(ThisModuleFileName());
        auto fixed = version.FixedFileVersion();
        if (!fixed)
            return E_FAIL;
        Info->info1.dwMajorVersion = fixed->Major;
        Info->info1.dwMinorVersion = fixed->Minor;
        Info->info1.dwBuildNumber = fixed->Release;
        Info->info1.dwPlatformID = DLLVER_PLATFORM_NT;
        if (size == sizeof(DLLVERSIONINFO2)) {
            Info->dwFlags = 0;
            Info->ullVersion = MAKEDLLVERULL(fixed->Major, fixed->Minor, fixed->Release, fixed->Build);
        }
        return S_OK;
    });
}

} // extern "C"
