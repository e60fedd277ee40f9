#pragma once
// The time a product's uninstall key last changed on its own account. The
// library writes the sizes it measures into product keys; such a write must
// not look like a change of the product, whose install date, when it records
// none, is its key's last write time.
#include "platform/Registry.h"

#include <functional>
#include <optional>

namespace velmora {

// The key's last write time; the time it had before when its last change
// was a size written by ProductKeyWrite.
std::optional<FILETIME> ProductKeyTime(const TRegKey& key);

// Runs write, a write into key (opened with KEY_ALL_ACCESS), so that
// ProductKeyTime answers afterwards what it answered before: the key's
// earlier write time is restored where the system allows it, and recorded
// (in the library's own key under the same root) where it does not. False
// when write failed.
bool ProductKeyWrite(const TRegKey& key, const std::function<bool()>& write);

} // namespace velmora
