#include "tools/velmora-gui/Watcher.h"

#include "platform/ComText.h"

#include <chrono>

namespace velmora::gui {

namespace {

std::wstring TextInfo(IProduct& product, int32_t index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_BSTR ? BstrText(V_BSTR(&value.get())) : std::wstring();
}

int64_t NumberInfo(IProduct& product, int32_t index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    const VARIANT& v = value.get();
    return V_VT(&v) == VT_I8 ? V_I8(&v) : V_VT(&v) == VT_I4 ? V_I4(&v) : -1;
}

double DateInfo(IProduct& product, int32_t index) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == VT_DATE ? V_DATE(&value.get()) : 0;
}

class TKeyCount : public TInterfacedObject<IVelmoraStrings> {
public:
    int32_t STDMETHODCALLTYPE GetCount() override { return FCount; }
    void STDMETHODCALLTYPE Get(int32_t, BSTR* Line) override { *Line = nullptr; }
    void STDMETHODCALLTYPE Add(LPCWSTR) override { ++FCount; }
    void STDMETHODCALLTYPE Clear() override { FCount = 0; }
    void STDMETHODCALLTYPE GetValue(LPCWSTR, BSTR* Value) override { *Value = nullptr; }

private:
    int32_t FCount = 0;
};

TProgramRow ReadRow(TComPtr<IProduct> product, bool update) {
    TProgramRow row;
    row.Name = TextInfo(*product, piDisplayName);
    row.Publisher = TextInfo(*product, update ? piParentDisplayName : piPublisher);
    row.Version = TextInfo(*product, update ? piUpdateID : piDisplayVersion);
    row.Size = NumberInfo(*product, piEstimatedSize);
    row.Installed = DateInfo(*product, piInstallDate);
    row.LastUsed = DateInfo(*product, piLastUsedDate);
    row.UsedType = static_cast<int>(NumberInfo(*product, piUsedType));
    row.Image = product->GetImageIndex();
    row.Actions = product->GetPossibleActions();
    if (update) {
        row.SystemComponent = (row.Actions & ActionBit(TPossibleActions::paUninstall)) == 0;
    } else {
        // Store apps are the only programs listed without registry keys.
        auto keys = MakeCom<TKeyCount, IVelmoraStrings>();
        product->GetRegistryKeys(keys.get());
        row.StoreApp = keys->GetCount() == 0;
    }
    row.Product = std::move(product);
    return row;
}

TFeatureRow ReadFeature(TComPtr<IFeature> feature) {
    TFeatureRow row;
    row.Name = GetterText(*feature, &IFeature::GetName);
    row.Title = GetterText(*feature, &IFeature::GetDisplayName);
    row.Description = GetterText(*feature, &IFeature::GetDescription);
    row.Enabled = feature->GetEnabled();
    feature->Lock();
    for (int32_t i = 0, n = feature->GetChildCount(); i < n; ++i) {
        TComPtr<IFeature> child;
        feature->GetChild(i, child.put());
        if (child)
            row.Children.push_back(ReadFeature(std::move(child)));
    }
    feature->Unlock();
    row.Feature = std::move(feature);
    return row;
}

} // namespace

TWatcher::TWatcher(IVelmora& root, HWND window, UINT message) : FWindow(window), FMessage(message) {
    FRoot = TComPtr<IVelmora>(&root);
    root.GetPrograms(FCollections[0].put());
    root.GetUpdates(FCollections[1].put());
    root.GetUnusedPrograms(FCollections[2].put());
    root.GetFeatures(FFeatures.put());
    root.Refresh();
    if (FFeatures)
        FFeatures->Refresh();
    FThread = std::thread([this] { Run(); });
}

TWatcher::~TWatcher() {
    {
        std::lock_guard lock(FLock);
        FStop = true;
    }
    FWake.notify_all();
    FThread.join();
}

TSnapshot TWatcher::Read(const TSnapshot& previous) {
    TSnapshot snapshot;
    snapshot.ProgramsState = FRoot->GetReadState();
    for (int view = 0; view < kProductViews; ++view) {
        IProductCollection* collection = FCollections[view].get();
        if (!collection)
            continue;
        snapshot.InfoMasks[view] = collection->GetInfoMask();
        snapshot.SmallImages[view] = collection->GetSmallImages();
        snapshot.LargeImages[view] = collection->GetLargeImages();
        collection->Lock();
        for (int32_t i = 0, n = collection->GetCount(); i < n; ++i) {
            TComPtr<IProduct> product;
            collection->GetItem(i, product.put());
            if (product) {
                product->CheckChanged();
                snapshot.Lists[view].push_back(ReadRow(std::move(product), view == 1));
            }
        }
        collection->Unlock();
    }
    if (FFeatures) {
        // Asking for the stamp also lets the library notice a change.
        snapshot.FeatureStamp = FFeatures->GetStateStamp();
        snapshot.FeaturesState = FFeatures->GetReadState();
        snapshot.FeatureSwitch = FFeatures->GetInstallState();
        if (snapshot.FeatureStamp == previous.FeatureStamp &&
            snapshot.FeaturesState == previous.FeaturesState) {
            snapshot.Features = previous.Features;
        } else {
            FFeatures->Lock();
            for (int32_t i = 0, n = FFeatures->GetFeatureCount(); i < n; ++i) {
                TComPtr<IFeature> feature;
                FFeatures->GetFeature(i, feature.put());
                if (feature)
                    snapshot.Features.push_back(ReadFeature(std::move(feature)));
            }
            FFeatures->Unlock();
        }
    }
    return snapshot;
}

void TWatcher::Run() {
    TComApartmentGuard com;
    TSnapshot last;
    bool first = true;
    for (;;) {
        TSnapshot next = Read(last);
        const bool changed =
            first || next.ProgramsState != last.ProgramsState || next.FeaturesState != last.FeaturesState ||
            next.FeatureSwitch != last.FeatureSwitch || next.FeatureStamp != last.FeatureStamp ||
            next.Lists != last.Lists || next.SmallImages != last.SmallImages;
        if (changed) {
            auto* posted = new TSnapshot(next);
            if (!PostMessageW(FWindow, FMessage, 0, reinterpret_cast<LPARAM>(posted)))
                delete posted;
            last = std::move(next);
            first = false;
        }
        std::unique_lock lock(FLock);
        if (FWake.wait_for(lock, std::chrono::milliseconds(250), [this] { return FStop; }))
            break;
    }
    // The references go on this thread, before the window lets go of the root.
    last = {};
}

} // namespace velmora::gui
