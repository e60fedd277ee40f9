#include "inventory/ItemUpdate.h"

namespace velmora {

TItemList<TItemUpdate>& TItemUpdate::Items() {
    static TItemList<TItemUpdate> items;
    return items;
}

void TItemUpdate::Init() {
    Items().Clear();
}

void TItemUpdate::Done() {
    Items().Clear();
}

} // namespace velmora
