#include "inventory/ItemProductIntf.h"

#include "frame/Boundary.h"
#include "inventory/ItemProduct.h"
#include "platform/ComText.h"
#include "platform/Module.h"
#include "platform/Text.h"

#include <atomic>
#include <type_traits>
#include <variant>

namespace velmora {

namespace {

std::atomic<TItemProductIntf::TForceRemoveFactory> ForceRemoveFactory{nullptr};

} // namespace

void TItemProductIntf::SetForceRemoveFactory(TForceRemoveFactory factory) {
    ForceRemoveFactory = factory;
}

TItemProductIntf::TItemProductIntf(std::weak_ptr<TItemProduct> product) : FProduct(std::move(product)) {}

void TItemProductIntf::GetInfo(int32_t Index, VARIANT* Value) {
    if (!Value)
        return;
    SetVariantNull(Value);
    Guarded([&] {
        auto item = FProduct.lock();
        if (!item)
            return;
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::wstring>)
                    SetVariantText(Value, v);
                else if constexpr (std::is_same_v<T, TInfoDate>)
                    SetVariantDate(Value, v.Value);
                else if constexpr (std::is_same_v<T, int32_t>)
                    SetVariantInt(Value, v);
                else if constexpr (std::is_same_v<T, int64_t>)
                    SetVariantInt64(Value, v);
            },
            item->GetInfo(static_cast<TProductInfo>(Index)));
    });
}

int32_t TItemProductIntf::GetImageIndex() {
    return Guarded(int32_t(-1), [&] {
        auto item = FProduct.lock();
        return item ? item->IconIndex() : -1;
    });
}

TPossibleActionsSet TItemProductIntf::GetPossibleActions() {
    return Guarded(TPossibleActionsSet(0), [&] {
        auto item = FProduct.lock();
        return item ? item->PossibleActions() : TPossibleActionsSet(0);
    });
}

bool TItemProductIntf::CheckChanged() {
    return Guarded(false, [&] {
        auto item = FProduct.lock();
        return item && item->TakeChanged();
    });
}

// Not under the item lock: a remove-from-registry action takes the program
// list lock, which is never taken while an item lock is held.
bool TItemProductIntf::RunAction(TPossibleActions* Action, HWND* TopWindow) {
    if (TopWindow)
        *TopWindow = nullptr;
    return Guarded(true, [&] {
        auto item = FProduct.lock();
        if (!item || !Action)
            return true;
        void* topWindow = nullptr;
        bool started = item->RunAction(*Action, topWindow);
        if (TopWindow)
            *TopWindow = static_cast<HWND>(topWindow);
        return started;
    });
}

bool TItemProductIntf::IsActionRunning() {
    auto item = FProduct.lock();
    return item && item->IsActionRunning();
}

// Nothing for a product that has left the inventory.
void TItemProductIntf::GetForceRemove(IForceRemove** ForceRemove) {
    if (!ForceRemove)
        return;
    *ForceRemove = nullptr;
    Guarded([&] {
        auto item = FProduct.lock();
        TForceRemoveFactory factory = ForceRemoveFactory.load();
        if (item && factory)
            factory(*this, *item).CopyTo(ForceRemove);
    });
}

// False when the host executable lies in the product's install folder.
bool TItemProductIntf::IsNotHost() {
    return Guarded(true, [&] {
        auto item = FProduct.lock();
        if (!item)
            return true;
        std::wstring location = item->InstallLocation();
        if (location.empty())
            return true;
        return UpperCase(HostExecutableFileName()).find(UpperCase(location)) == std::wstring::npos;
    });
}

void TItemProductIntf::GetRegistryKeys(IVelmoraStrings* Keys) {
    Guarded([&] {
        auto item = FProduct.lock();
        if (!item || !Keys)
            return;
        for (const auto& key : item->RegistryKeys())
            Keys->Add(key.Text().c_str());
    });
}

bool TItemProductIntf::IsInstallerMaybeCorrupted() {
    auto item = FProduct.lock();
    return item && item->IsInstallerMaybeCorrupted();
}

} // namespace velmora
