#pragma once
// Installed programs. The class owns the library-wide program list, set up by
// Init and emptied by Done (both run by the location owner's instance cycle).
#include "inventory/ItemList.h"
#include "inventory/ItemProduct.h"

namespace velmora {

class TItemProgram : public TItemProduct {
public:
    using TItemProduct::TItemProduct;
    // Leaves the rarely used list.
    ~TItemProgram() override;

    static void Init();
    static void Done();

    // The program list of all locations. Its lock is re-entrant; it also
    // guards the program fields written in the extended pass.
    static TItemList<TItemProgram>& Items();
    // Programs last used long ago: a subset of Items() under the same lock.
    static TItemRefList<TItemProgram>& UnusedItems();
    static void LockItems() { Items().Lock().lock(); }
    static void UnlockItems() { Items().Lock().unlock(); }
};

} // namespace velmora
