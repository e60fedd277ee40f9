#pragma once
// The app collection handed out by LaunchetHelper.dll: the entries of its
// loader's last load. Entries stay valid after the collection has gone.
#include "api/Interfaces.Launchet.h"
#include "components/launchet/AppLoader.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <memory>

namespace velmora::launchet {

class TAppCollection : public TInterfacedObject<IMetroAppCollection>, public TLiveCount<TAppCollection> {
public:
    // Starts the first load.
    TAppCollection();
    ~TAppCollection() override;

    int32_t STDMETHODCALLTYPE GetCount() override;
    void STDMETHODCALLTYPE GetItem(int32_t Index, IMetroAppItem** Item) override;
    int32_t STDMETHODCALLTYPE IndexOf(LPCWSTR PackageFullName) override;
    bool STDMETHODCALLTYPE Contains(IMetroAppItem* Item) override;
    HRESULT STDMETHODCALLTYPE GetLoadError() override;
    uint32_t STDMETHODCALLTYPE GetUpdateTime() override;
    int32_t STDMETHODCALLTYPE GetAppCount() override;
    void STDMETHODCALLTYPE Update() override;
    bool STDMETHODCALLTYPE IsLoading() override;
    bool STDMETHODCALLTYPE WaitForLoad(uint32_t Timeout, bool WaitAll) override;
    void STDMETHODCALLTYPE FindItem(LPCWSTR PackageFullName, IMetroAppItem** Item) override;
    void STDMETHODCALLTYPE UpdateItem(LPCWSTR PackageFullName) override;

protected:
    void* QueryOther(REFIID riid) override;

private:
    std::shared_ptr<TAppLoader> FLoader;
};

// Objects of the component alive now (collections and entries).
int LiveLaunchetObjects();

} // namespace velmora::launchet
