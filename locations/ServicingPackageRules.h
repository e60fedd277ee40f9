#pragma once
// The servicing rules of installed updates that need no system: which
// recorded package states are installed ones, which can be uninstalled, and
// what a package's manifest tells.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// What a package's manifest (".mum") tells: the "assembly" element's texts,
// its "assemblyIdentity" child, its "package" child and the packages that
// that package's "update" children contain. Each is the first element of
// its name; a missing attribute is nothing.
struct TServicingManifest {
    std::optional<std::wstring> DisplayName, Description, Company, SupportInformation;
    std::optional<std::wstring> Name, Version, Language;
    std::optional<std::wstring> Identifier, ReleaseType, Permanence;
    std::vector<std::wstring> ContainedPackages;
};

// The manifest from its bytes (UTF-8, or ASCII); nothing when the text is no
// well-formed element tree whose root is "assembly", or is in another encoding.
std::optional<TServicingManifest> ParseServicingManifest(std::string_view text);

} // namespace velmora
