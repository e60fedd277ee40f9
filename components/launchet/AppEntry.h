#pragma once
// An entry of the collection: one package as a load read it, never changed
// afterwards.
#include "api/Interfaces.Launchet.h"
#include "components/launchet/AppPackage.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <functional>
#include <memory>

namespace velmora::launchet {

class TAppLoader;

class TAppEntry : public TInterfacedObject<IMetroAppItem>, public TLiveCount<TAppEntry> {
public:
    // loader is told NotifyRemoved, as long as it lives.
    TAppEntry(TAppPackage package, std::weak_ptr<TAppLoader> loader);
    const TAppPackage& Package() const { return FPackage; }

    void STDMETHODCALLTYPE GetPackageFullName(BSTR* Value) override;
    void STDMETHODCALLTYPE GetPackageFamilyName(BSTR* Value) override;
    void STDMETHODCALLTYPE GetDisplayName(BSTR* Value) override;
    void STDMETHODCALLTYPE GetDisplayNameResource(BSTR* Value) override;
    void STDMETHODCALLTYPE GetDescriptionResource(BSTR* Value) override;
    void STDMETHODCALLTYPE GetPublisher(BSTR* Value) override;
    void STDMETHODCALLTYPE GetPublisherResource(BSTR* Value) override;
    void STDMETHODCALLTYPE GetInstallPath(BSTR* Value) override;
    void STDMETHODCALLTYPE GetVersion(BSTR* Value) override;
    void STDMETHODCALLTYPE GetArchitecture(BSTR* Value) override;
    void STDMETHODCALLTYPE GetLogo(BSTR* Value) override;
    void STDMETHODCALLTYPE GetAppIds(BSTR* Value) override;
    bool STDMETHODCALLTYPE IsExcluded1() override;
    bool STDMETHODCALLTYPE IsExcluded2() override;
    bool STDMETHODCALLTYPE IsListed() override;
    bool STDMETHODCALLTYPE IsFeatureListed() override;
    bool STDMETHODCALLTYPE IsProvisioned() override;
    void STDMETHODCALLTYPE LoadResourceString(LPCWSTR Reference, BSTR* Value) override;
    void STDMETHODCALLTYPE NotifyRemoved() override;

private:
    void Answer(BSTR* Value, const std::wstring& text);

    const TAppPackage FPackage;
    const std::weak_ptr<TAppLoader> FLoader;
};

// IsExcluded2: a resource package, or a part of a bundle (a resource id)
// without applications.
bool IsResourcePart(const TAppPackage& package);
// IsFeatureListed: neither a framework nor a resource part, with applications.
bool IsFeatureApp(const TAppPackage& package);

} // namespace velmora::launchet
