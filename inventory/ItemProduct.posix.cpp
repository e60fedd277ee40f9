// The native build has no registry, no folder notifications and no console
// runner: an item there keeps what its kind's fast reading gave it, and no
// action starts.
#include "inventory/ItemProduct.h"

#include "platform/Thread.h"

#include <stdexcept>

namespace velmora {

bool TItemProduct::CheckChange() {
    return false;
}

void TItemProduct::CloseWaitEvent() {}

// Never called: without a registry no key is read.
void TItemProduct::ReadRegistryValues(const TRegKey&) {}
void TItemProduct::ReadCommands(const TRegKey&) {}

std::unique_ptr<TThread> TItemProduct::NewActionThread(TPossibleActions) {
    throw std::runtime_error("product actions run commands, which only the Windows build can start");
}

// Only the Windows action thread knows its action and window.
void TItemProduct::NameRunningAction(TPossibleActions&, void*&) const {}

} // namespace velmora
