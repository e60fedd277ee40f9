#pragma once
// The library as a front end sees it: a root read to its end, and the values
// and items of its collections.
#include "platform/ComText.h"
#include "tests/library/LibraryHarness.h"

#include <oleauto.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace velmora::testing {

// A value of a product when it has the type vt, else nothing.
template <VARTYPE vt, class F> auto InfoValue(IProduct& product, int32_t index, F take) {
    unique_variant value;
    product.GetInfo(index, value.put());
    return V_VT(&value.get()) == vt ? std::optional(take(value.get())) : std::nullopt;
}
inline std::wstring InfoText(IProduct& product, int32_t index) {
    return InfoValue<VT_BSTR>(product, index, [](const VARIANT& v) { return BstrText(V_BSTR(&v)); })
        .value_or(L"");
}
inline std::optional<double> InfoDate(IProduct& product, int32_t index) {
    return InfoValue<VT_DATE>(product, index, [](const VARIANT& v) { return V_DATE(&v); });
}
inline std::optional<int32_t> InfoNumber(IProduct& product, int32_t index) {
    return InfoValue<VT_I4>(product, index, [](const VARIANT& v) { return V_I4(&v); });
}

// The products of a collection in list order, taken under its lock.
inline std::vector<TComPtr<IProduct>> Products(IProductCollection& collection) {
    std::vector<TComPtr<IProduct>> products;
    collection.Lock();
    for (int32_t i = 0, n = collection.GetCount(); i < n; ++i) {
        TComPtr<IProduct> product;
        collection.GetItem(i, product.put());
        if (product)
            products.push_back(std::move(product));
    }
    collection.Unlock();
    return products;
}

// The first product whose text at index is text (compared by same).
template <class Same>
TComPtr<IProduct> FindProduct(IProductCollection& collection, int32_t index, const std::wstring& text,
                              Same same) {
    for (TComPtr<IProduct>& product : Products(collection))
        if (same(InfoText(*product, index), text))
            return product;
    return {};
}

// A root whose reads the test starts; stopped and released before the library.
class TLibraryRoot {
public:
    ~TLibraryRoot() { Release(); }

    // Starts a full read and waits for its end; the first creates the root.
    bool Read(std::chrono::seconds limit = std::chrono::seconds(90)) {
        if (!Root) {
            Root = Library->NewRoot();
            if (!Root)
                return false;
            Root->GetPrograms(Programs.put());
            Root->GetUpdates(Updates.put());
            Root->GetUnusedPrograms(Unused.put());
        }
        Root->Refresh();
        return Programs && Updates && Unused &&
               WaitUntil([&] { return Root->GetReadState() == TReadState::rsLoaded; }, limit);
    }
    void Release() {
        if (Root)
            Root->Stop();
        Programs.reset();
        Updates.reset();
        Unused.reset();
        Root.reset();
    }

    std::optional<TLoadedLibrary> Library{std::in_place};
    TComPtr<IVelmora> Root;
    TComPtr<IProductCollection> Programs, Updates, Unused;
};

} // namespace velmora::testing
