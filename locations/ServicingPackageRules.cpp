#include "locations/ServicingPackageRules.h"

#include "platform/Text.h"

namespace velmora {

namespace {

uint32_t StateCode(uint32_t value) {
    value %= 256;
    return (value & 0x0F) == 0 ? value >> 4 : value;
}

// Staged (4), installed (6, 7) and superseded (8) packages.
bool IsInstalledState(uint32_t code) {
    return code == 4 || code == 6 || code == 7 || code == 8;
}

bool IsFixedState(uint32_t code) {
    return code == 4 || code == 8;
}

} // namespace

std::optional<bool> InstalledPackageUninstallable(uint32_t currentState, uint32_t ownerState) {
    const uint32_t state = StateCode(currentState), owner = StateCode(ownerState);
    if (!IsInstalledState(state) || !IsInstalledState(owner))
        return std::nullopt;
    return !IsFixedState(state) && !IsFixedState(owner);
}

bool IsPermanentPackage(std::wstring_view permanence) {
    return SameText(permanence, L"permanent");
}

} // namespace velmora
