#pragma once
// IProduct over one inventory item. The adapter holds the item weakly: while
// a call runs it keeps the item alive, and once the item has left the
// inventory it answers as for a missing product.
#include "api/Interfaces.Velmora.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <memory>

namespace velmora {

class TItemProduct;

class TItemProductIntf : public TLiveCount<TItemProductIntf>, public TInterfacedObject<IProduct> {
public:
    // Makes a new forced removal of a product. Forced removal is built on the
    // inventory, so the library names it here once at its start.
    using TForceRemoveFactory = TComPtr<IForceRemove> (*)(IProduct& product, TItemProduct& item);
    static void SetForceRemoveFactory(TForceRemoveFactory factory);

    explicit TItemProductIntf(std::weak_ptr<TItemProduct> product);

    void STDMETHODCALLTYPE GetInfo(int32_t Index, VARIANT* Value) override;
    int32_t STDMETHODCALLTYPE GetImageIndex() override;
    TPossibleActionsSet STDMETHODCALLTYPE GetPossibleActions() override;
    bool STDMETHODCALLTYPE CheckChanged() override;
    bool STDMETHODCALLTYPE RunAction(TPossibleActions* Action, HWND* TopWindow) override;
    bool STDMETHODCALLTYPE IsActionRunning() override;
    void STDMETHODCALLTYPE GetForceRemove(IForceRemove** ForceRemove) override;
    bool STDMETHODCALLTYPE IsNotHost() override;
    void STDMETHODCALLTYPE GetRegistryKeys(IVelmoraStrings* Keys) override;
    bool STDMETHODCALLTYPE IsInstallerMaybeCorrupted() override;

private:
    std::weak_ptr<TItemProduct> FProduct;
};

} // namespace velmora
