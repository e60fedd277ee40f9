#pragma once
// A store-app collection the test controls (entries, load state, update time),
// recording what its reader told it and its entries.
#include "api/Interfaces.Launchet.h"
#include "platform/ComObject.h"
#include "platform/ComText.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

namespace velmora::testing {

struct TFakeAppData {
    std::wstring FullName;
    std::wstring Name;
    std::wstring Path;
    bool Framework = false;
    std::wstring Logo;
};

// One entry. Resource references come back as "Text of <reference>".
class TFakeApp : public TInterfacedObject<IMetroAppItem> {
public:
    explicit TFakeApp(TFakeAppData data) : F(std::move(data)) {}

    void STDMETHODCALLTYPE GetPackageFullName(BSTR* v) override { SetBstr(v, F.FullName); }
    void STDMETHODCALLTYPE GetPackageFamilyName(BSTR* v) override { SetBstr(v, F.Name + L"_family"); }
    void STDMETHODCALLTYPE GetDisplayName(BSTR* v) override { SetBstr(v, F.Name); }
    void STDMETHODCALLTYPE GetDisplayNameResource(BSTR* v) override { SetBstr(v, L"ms-resource:" + F.Name); }
    void STDMETHODCALLTYPE GetDescriptionResource(BSTR* v) override { SetBstr(v, L"About " + F.Name); }
    void STDMETHODCALLTYPE GetPublisher(BSTR* v) override { SetBstr(v, L"CN=Nobody"); }
    void STDMETHODCALLTYPE GetPublisherResource(BSTR* v) override { SetBstr(v, L"ms-resource:Publisher"); }
    void STDMETHODCALLTYPE GetInstallPath(BSTR* v) override { SetBstr(v, F.Path); }
    void STDMETHODCALLTYPE GetVersion(BSTR* v) override { SetBstr(v, L"1.2.3.4"); }
    void STDMETHODCALLTYPE GetArchitecture(BSTR* v) override { SetBstr(v, L"x64"); }
    void STDMETHODCALLTYPE GetLogo(BSTR* v) override { SetBstr(v, F.Logo); }
    void STDMETHODCALLTYPE GetAppIds(BSTR* v) override { SetBstr(v, L"App"); }
    bool STDMETHODCALLTYPE IsExcluded1() override { return F.Framework; }
    bool STDMETHODCALLTYPE IsExcluded2() override { return false; }
    bool STDMETHODCALLTYPE IsListed() override { return true; }
    bool STDMETHODCALLTYPE IsFeatureListed() override { return !F.Framework; }
    bool STDMETHODCALLTYPE IsProvisioned() override { return false; }
    void STDMETHODCALLTYPE LoadResourceString(LPCWSTR reference, BSTR* v) override {
        std::wstring text = reference ? reference : L"";
        SetBstr(v, text.starts_with(L"ms-resource:") ? L"Text of " + text.substr(12) : text);
    }
    // Held, it returns once the test lets go (or after 10 s, so that a fault
    // shows as a failure rather than a hang).
    void STDMETHODCALLTYPE NotifyRemoved() override {
        ++Notified;
        for (int i = 0; i < 1000 && FHeld; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void Hold(bool hold) { FHeld = hold; }
    std::atomic<int> Notified{0};

private:
    TFakeAppData F;
    std::atomic<bool> FHeld{false};
};

// The collection: OnWait runs at each waiting WaitForLoad (the load going on
// meanwhile); UpdatedItems are the full names UpdateItem was told.
class TFakeAppList : public TInterfacedObject<IMetroAppCollection> {
public:
    int32_t STDMETHODCALLTYPE GetCount() override {
        std::lock_guard lock(FLock);
        return static_cast<int32_t>(FApps.size());
    }
    void STDMETHODCALLTYPE GetItem(int32_t index, IMetroAppItem** item) override {
        std::lock_guard lock(FLock);
        *item = nullptr;
        if (index >= 0 && index < static_cast<int32_t>(FApps.size()))
            FApps[static_cast<size_t>(index)].CopyTo(item);
    }
    int32_t STDMETHODCALLTYPE IndexOf(LPCWSTR name) override {
        std::lock_guard lock(FLock);
        auto found = std::ranges::find(FData, std::wstring_view(name), &TFakeAppData::FullName);
        return found == FData.end() ? -1 : static_cast<int32_t>(found - FData.begin());
    }
    bool STDMETHODCALLTYPE Contains(IMetroAppItem*) override { return false; }
    HRESULT STDMETHODCALLTYPE GetLoadError() override { return S_OK; }
    uint32_t STDMETHODCALLTYPE GetUpdateTime() override { return UpdateTime; }
    int32_t STDMETHODCALLTYPE GetAppCount() override {
        std::lock_guard lock(FLock);
        return static_cast<int32_t>(
            std::ranges::count_if(FData, [](const TFakeAppData& app) { return !app.Framework; }));
    }
    void STDMETHODCALLTYPE Update() override { ++Updates; }
    bool STDMETHODCALLTYPE IsLoading() override { return !Loaded; }
    bool STDMETHODCALLTYPE WaitForLoad(uint32_t timeout, bool) override {
        if (timeout > 0 && OnWait)
            OnWait();
        return Loaded;
    }
    void STDMETHODCALLTYPE FindItem(LPCWSTR name, IMetroAppItem** item) override {
        GetItem(IndexOf(name), item);
    }
    void STDMETHODCALLTYPE UpdateItem(LPCWSTR name) override {
        std::lock_guard lock(FLock);
        FUpdatedItems.push_back(name);
    }

    // A completed load with these entries.
    std::vector<TComPtr<TFakeApp>> Load(const std::vector<TFakeAppData>& apps) {
        std::vector<TComPtr<TFakeApp>> made;
        std::lock_guard lock(FLock);
        FApps.clear();
        FData = apps;
        for (const TFakeAppData& data : apps) {
            made.push_back(MakeCom<TFakeApp, TFakeApp>(data));
            FApps.push_back(TComPtr<IMetroAppItem>(made.back().get()));
        }
        ++UpdateTime;
        return made;
    }
    std::vector<std::wstring> UpdatedItems() {
        std::lock_guard lock(FLock);
        return FUpdatedItems;
    }

    std::atomic<uint32_t> UpdateTime{7};
    std::atomic<bool> Loaded{true};
    std::atomic<int> Updates{0};
    std::function<void()> OnWait;

private:
    std::recursive_mutex FLock;
    std::vector<TFakeAppData> FData;
    std::vector<TComPtr<IMetroAppItem>> FApps;
    std::vector<std::wstring> FUpdatedItems;
};

} // namespace velmora::testing
