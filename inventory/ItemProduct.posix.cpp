// The native build has no registry and no folder notifications: an item
// there keeps what its kind's fast reading gave it.
#include "inventory/ItemProduct.h"

namespace velmora {

bool TItemProduct::CheckChange() {
    return false;
}

void TItemProduct::CloseWaitEvent() {}

} // namespace velmora
