#pragma once
// How the engine reads the columns of an installer package: long names,
// registry roots and whole-key rows, and the packed form of GUIDs under which
// Windows Installer files its registry data.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// "SHORT~1.TXT|Long name.txt" -> "Long name.txt"; a name without "|" as it is.
std::wstring MsiLongName(std::wstring_view name);

// A braced GUID (exactly 38 characters) as the installer's packed 32 hex
// digits: each of the first three groups reversed, then each following byte
// with its two digits swapped. Any other text is returned unchanged.
std::wstring PackedUpgradeCode(std::wstring_view code);

enum class TMsiRegistryRoot : uint8_t { ClassesRoot, CurrentUser, LocalMachine, Users };

// The Root column: 0 to 3 name their hive; anything else (-1 stands for "per
// machine or per user, as installed") counts as the local machine.
TMsiRegistryRoot MsiRegistryRoot(int32_t column);
std::wstring_view MsiRegistryRootName(TMsiRegistryRoot root);

struct TMsiRegistryName {
    std::wstring ValueName;
    bool Recursive = false; // the row stands for the whole key
};

// The Name column of a Registry row: "*" and "-" mark the whole key. Rows that
// only create a key ("+") or write its default value (empty name) are not
// reported: nullopt.
std::optional<TMsiRegistryName> MsiRegistryName(std::wstring_view column);

} // namespace velmora
