#pragma once
// The servicing rules that need no system: manifest file names and their
// identities, which manifest of a package is the newest, the packaging
// tool's feature table, and an update's recorded state.
#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TMumVersion {
    int32_t Major = 0;
    int32_t Minor = 0;
    int32_t Build = 0;
    int32_t Revision = 0;
    auto operator<=>(const TMumVersion&) const = default;
};

// One manifest file "<package>~<token>~<architecture>~<locale>~<version>.mum".
// A name of another shape gives empty identity parts and version 0.0.0.0.
struct TMumFile {
    std::wstring FPackage;
    TMumVersion FVersion;
    std::wstring FHash;
    std::wstring FFileName;
    std::wstring FLocale;
    std::wstring FArchitecture;

    // Nothing when one of the version's first three parts is not a number.
    static std::optional<TMumFile> FromPath(std::wstring path);
    // The file name without folder and extension: the package's registry key.
    std::wstring KeyName() const;
    // Package, token, locale and architecture equal, ignoring case.
    bool SameName(const TMumFile& other) const;
};

// Drops every file of which another of the same identity has a greater version.
std::vector<TMumFile> KeepNewest(std::vector<TMumFile> files);

// The feature table the packaging tool prints: name -> enabled, for every
// line with "|" after its first character and a state after it.
std::map<std::wstring, bool> ParseFeatureTable(std::wstring_view output);

// An update's state from its servicing registry entry (nothing: no entry).
// An unknown state (-16 or 255) is the default, and needs an enabled parent
// when the update has one (parentEnabled answers that).
bool UpdateEnabled(std::optional<int32_t> entry, bool defaultEnabled,
                   const std::function<bool()>& parentEnabled);

} // namespace velmora
