#include "components/launchet/AppCollection.h"

#include "components/Boundary.h"
#include "platform/Text.h"

namespace velmora::launchet {

using components::Guarded;

namespace {

int32_t IndexIn(const TAppEntries& entries, LPCWSTR fullName) {
    if (!fullName)
        return -1;
    for (size_t i = 0; i < entries.size(); ++i)
        if (SameText(entries[i]->Package().FullName, fullName))
            return static_cast<int32_t>(i);
    return -1;
}

void HandOut(const TAppEntries& entries, int32_t index, IMetroAppItem** Item) {
    if (!Item)
        return;
    *Item = nullptr;
    if (index >= 0 && static_cast<size_t>(index) < entries.size()) {
        *Item = entries[index].get();
        (*Item)->AddRef();
    }
}

} // namespace

int LiveLaunchetObjects() {
    return LiveObjectCount<TAppCollection, TAppEntry>();
}

TAppCollection::TAppCollection() : FLoader(std::make_shared<TAppLoader>()) {}

TAppCollection::~TAppCollection() = default;

void* TAppCollection::QueryOther(REFIID riid) {
    return IsEqualIID(riid, __uuidof(IMetroAppItemList)) ? static_cast<IMetroAppItemList*>(this) : nullptr;
}

int32_t TAppCollection::GetCount() {
    return Guarded(0, [&] { return static_cast<int32_t>(FLoader->Entries().size()); });
}

void TAppCollection::GetItem(int32_t Index, IMetroAppItem** Item) {
    Guarded([&] { HandOut(FLoader->Entries(), Index, Item); });
}

int32_t TAppCollection::IndexOf(LPCWSTR PackageFullName) {
    return Guarded(-1, [&] { return IndexIn(FLoader->Entries(), PackageFullName); });
}

bool TAppCollection::Contains(IMetroAppItem* Item) {
    return Guarded(false, [&] {
        for (const auto& entry : FLoader->Entries())
            if (static_cast<IMetroAppItem*>(entry.get()) == Item)
                return Item != nullptr;
        return false;
    });
}

HRESULT TAppCollection::GetLoadError() {
    return Guarded(E_FAIL, [&] { return FLoader->LoadError(); });
}

uint32_t TAppCollection::GetUpdateTime() {
    return Guarded(0u, [&] { return FLoader->UpdateTime(); });
}

int32_t TAppCollection::GetAppCount() {
    return Guarded(0, [&] {
        int32_t count = 0;
        for (const auto& entry : FLoader->Entries())
            count += IsFeatureApp(entry->Package()) ? 1 : 0;
        return count;
    });
}

void TAppCollection::Update() {
    Guarded([&] { FLoader->RequestLoad(); });
}

bool TAppCollection::IsLoading() {
    return Guarded(false, [&] { return FLoader->IsLoading(); });
}

bool TAppCollection::WaitForLoad(uint32_t Timeout, bool WaitAll) {
    return Guarded(false, [&] { return FLoader->WaitForLoad(Timeout, WaitAll); });
}

void TAppCollection::FindItem(LPCWSTR PackageFullName, IMetroAppItem** Item) {
    Guarded([&] {
        const TAppEntries entries = FLoader->Entries();
        HandOut(entries, IndexIn(entries, PackageFullName), Item);
    });
}

void TAppCollection::UpdateItem(LPCWSTR PackageFullName) {
    Guarded([&] {
        if (PackageFullName && *PackageFullName)
            FLoader->RequestPackage(PackageFullName);
    });
}

} // namespace velmora::launchet
