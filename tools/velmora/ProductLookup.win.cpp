#include "tools/velmora/ProductLookup.h"

#include "platform/Format.h"
#include "platform/Text.h"
#include "tools/velmora/Console.h"
#include "tools/velmora/ProductFields.h"

namespace velmora::cli {

bool WaitForInventory(IVelmora& root, unsigned timeoutSeconds) {
    ULONGLONG deadline = GetTickCount64() + 1000ull * timeoutSeconds;
    TStatusLine status;
    for (;;) {
        if (root.GetReadState() == TReadState::rsLoaded)
            return true;
        if (GetTickCount64() > deadline) {
            status.Clear();
            WriteErr(Format(L"The inventory was not read within %d seconds.\n", timeoutSeconds));
            return false;
        }
        TComPtr<IProductCollection> programs = Collection(root, TListKind::Programs);
        status.Show(Format(L"Reading installed programs... %d", programs ? programs->GetCount() : 0));
        Sleep(100);
    }
}

TComPtr<IProductCollection> Collection(IVelmora& root, TListKind kind) {
    TComPtr<IProductCollection> collection;
    switch (kind) {
    case TListKind::Programs:
        root.GetPrograms(collection.put());
        break;
    case TListKind::Updates:
        root.GetUpdates(collection.put());
        break;
    case TListKind::Unused:
        root.GetUnusedPrograms(collection.put());
        break;
    }
    return collection;
}

std::vector<TComPtr<IProduct>> FindProducts(IProductCollection& collection, const std::wstring& name) {
    std::vector<TComPtr<IProduct>> found;
    collection.Lock();
    for (int32_t i = 0, n = collection.GetCount(); i < n; ++i) {
        TComPtr<IProduct> product;
        collection.GetItem(i, product.put());
        if (product) {
            TValue display = ReadValue(*product, piDisplayName);
            if (auto* text = std::get_if<std::wstring>(&display); text && SameText(*text, name))
                found.push_back(product);
        }
    }
    collection.Unlock();
    return found;
}

std::vector<TComPtr<IProduct>> FindProgramOrUpdate(IVelmora& root, const std::wstring& name) {
    for (TListKind kind : {TListKind::Programs, TListKind::Updates})
        if (TComPtr<IProductCollection> collection = Collection(root, kind))
            if (auto found = FindProducts(*collection, name); !found.empty())
                return found;
    return {};
}

} // namespace velmora::cli
