#pragma once
// IForceRemove: the front end's handle on one forced removal. It keeps the
// product it was made for alive and owns the removal; releasing the last
// reference ends the worker before anything else goes (Windows).
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"

namespace velmora {

class TItemProduct;
// Counted among the library's live objects.
class TForceRemoveIntf;

// A new removal of the product whose interface and item are given.
TComPtr<IForceRemove> NewForceRemove(IProduct& product, TItemProduct& item);

} // namespace velmora
