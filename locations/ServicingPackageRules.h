#pragma once
// The servicing rules of installed updates that need no system: which
// recorded package states are installed ones, and which can be uninstalled.
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

// The owner state of a package whose registry entry has no "Owners" key.
constexpr uint32_t UnownedPackageState = 7;

// From the package's "CurrentState" and its own value under "Owners":
// nothing when the package is not installed (so not listed), otherwise
// whether it can be uninstalled. Only the low byte counts; a value whose
// low four bits are zero is read in its high four (0x70 as 7).
std::optional<bool> InstalledPackageUninstallable(uint32_t currentState, uint32_t ownerState);

// A manifest's "permanence" that keeps the package from being uninstalled.
bool IsPermanentPackage(std::wstring_view permanence);

} // namespace velmora
