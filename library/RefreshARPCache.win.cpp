#include "library/RefreshARPCache.h"

#include "frame/DebugLog.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"
#include "platform/OSError.h"

#include <objbase.h>
#include <shappmgr.h>

namespace velmora {

namespace {

// The shell's enumerator of installed applications; it hands out
// IInstalledApp objects, which begin with the IShellApp methods used here.
MIDL_INTERFACE("1BC752E1-9046-11D1-B8B3-006008059382")
IEnumInstalledApps : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(IShellApp * *App) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

constexpr CLSID CLSID_EnumInstalledApps = {
    0x0B124F8F, 0x91F0, 0x11D1, {0xB8, 0xB5, 0x00, 0x60, 0x08, 0x05, 0x93, 0x82}};
constexpr IID IID_IEnumInstalledApps = {
    0x1BC752E1, 0x9046, 0x11D1, {0xB8, 0xB3, 0x00, 0x60, 0x08, 0x05, 0x93, 0x82}};

void RefreshEveryApplication() {
    TComApartmentGuard apartment;
    TComPtr<IEnumInstalledApps> apps;
    HRESULT hr = CoCreateInstance(CLSID_EnumInstalledApps, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IEnumInstalledApps, reinterpret_cast<void**>(apps.put()));
    CheckHResult(hr, L"The shell's installed-applications enumerator");
    for (;;) {
        TComPtr<IShellApp> app;
        if (apps->Next(app.put()) != S_OK || !app)
            break;
        TThread::CheckTerminated();
        SLOWAPPINFO info{};
        if (app->GetSlowAppInfo(&info) != S_OK)
            continue;
        // Asking refreshes the cache; the answer is not needed.
        unique_cotaskmem image(info.pszImage);
    }
}

} // namespace

TRefreshARPCache::TRefreshARPCache() {
    SetPriority(TThreadPriority::Idle);
}

TRefreshARPCache::~TRefreshARPCache() {
    TerminateAndWait();
}

void TRefreshARPCache::Execute() {
    StatisticsLog::Add(L"");
    StatisticsLog::Add(L"Begin update system ARP Cache.");
    try {
        RefreshEveryApplication();
    } catch (const EAbort&) {
    } catch (...) {
        StatisticsLog::AddError();
    }
    StatisticsLog::Add(L"");
    StatisticsLog::Add(L"End update system ARP Cache.");
}

} // namespace velmora
