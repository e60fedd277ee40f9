#pragma once
// Installed updates. The class owns the library-wide update list, set up by
// Init and emptied by Done (both run by the location owner's instance cycle).
#include "inventory/ItemList.h"
#include "inventory/ItemProduct.h"

namespace velmora {

class TItemUpdate : public TItemProduct {
public:
    using TItemProduct::TItemProduct;

    static void Init();
    static void Done();

    // The update list of all locations, with its own re-entrant lock (never
    // held together with the program list lock).
    static TItemList<TItemUpdate>& Items();
    static void LockItems() { Items().Lock().lock(); }
    static void UnlockItems() { Items().Lock().unlock(); }
};

} // namespace velmora
