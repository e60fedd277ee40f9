#include "inventory/ItemProductIntf.h"

#include "frame/Boundary.h"
#include "inventory/ItemProduct.h"
#include "platform/ComText.h"

namespace velmora {

TItemProductIntf::TItemProductIntf(std::weak_ptr<TItemProduct> product) : FProduct(std::move(product)) {}

// The item's descriptive fields arrive with the product item's registry
// reading; until then every index is null.
void TItemProductIntf::GetInfo(int32_t, VARIANT* Value) {
    Guarded([&] {
        if (Value)
            SetVariantNull(Value);
    });
}

int32_t TItemProductIntf::GetImageIndex() { return -1; }

TPossibleActionsSet TItemProductIntf::GetPossibleActions() { return 0; }

bool TItemProductIntf::CheckChanged() {
    return Guarded(false, [&] {
        auto item = FProduct.lock();
        return item && item->TakeChanged();
    });
}

bool TItemProductIntf::RunAction(TPossibleActions*, HWND* TopWindow) {
    if (TopWindow)
        *TopWindow = nullptr;
    return true;
}

bool TItemProductIntf::IsActionRunning() {
    auto item = FProduct.lock();
    return item && item->IsActionRunning();
}

void TItemProductIntf::GetForceRemove(IForceRemove** ForceRemove) {
    if (ForceRemove)
        *ForceRemove = nullptr;
}

bool TItemProductIntf::IsNotHost() { return true; }

void TItemProductIntf::GetRegistryKeys(IVelmoraStrings*) {}

bool TItemProductIntf::IsInstallerMaybeCorrupted() { return false; }

} // namespace velmora
