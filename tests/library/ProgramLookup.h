#pragma once
// A front end's look at the program list through the public interfaces only.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"

#include <string>

namespace velmora::testing {

// A property of a product as text ("" when it has none).
inline std::wstring Info(IProduct* product, int32_t index) {
    VARIANT v;
    VariantInit(&v);
    product->GetInfo(index, &v);
    std::wstring text = SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR)) && V_BSTR(&v) ? V_BSTR(&v) : L"";
    VariantClear(&v);
    return text;
}

// The program of that display name, found under the collection lock; empty when absent.
inline TComPtr<IProduct> FindProgram(IProductCollection& programs, const std::wstring& name) {
    TComPtr<IProduct> found;
    programs.Lock();
    for (int32_t i = 0, n = programs.GetCount(); i < n && !found; ++i) {
        TComPtr<IProduct> product;
        programs.GetItem(i, product.put());
        if (product && Info(product.get(), piDisplayName) == name)
            found = product;
    }
    programs.Unlock();
    return found;
}

} // namespace velmora::testing
