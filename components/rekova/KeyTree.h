#pragma once
// Saved copies of registry keys and values, byte for byte, as UTF-8 text:
//   key<TAB><path below the saved key, empty for the key itself>
//   value<TAB><name><TAB><type><TAB><data in hex>
// with every key's values after its "key" line, parents before children.
#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmora::rekova {

// The key with all its values and subkeys; throws EOSError when a part
// cannot be read (ERROR_FILE_NOT_FOUND when the key is missing).
std::string SaveKeyTree(const TRegistryKey& key);
// One value, as the only line of a tree.
std::string SaveValue(std::wstring_view name, const TRegValue& value);
// The first value of a saved text.
std::optional<std::pair<std::wstring, TRegValue>> SavedValue(std::string_view text);
// Makes the key (created when missing) equal to the saved tree: values and
// subkeys it lacks are written, those the copy lacks are deleted. False
// (last error set) when a part could not be made so.
bool ApplyKeyTree(const TRegistryKey& key, std::string_view text);

} // namespace velmora::rekova
