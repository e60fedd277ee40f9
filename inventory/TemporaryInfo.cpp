#include "inventory/TemporaryInfo.h"

#include <algorithm>

namespace velmora {

void TTemporaryInfo::AddKey(const TRegistryKey& key) {
    if (!HasKey(key))
        FRegistryKeys.push_back(key);
}

bool TTemporaryInfo::HasKey(const TRegistryKey& key) const {
    return std::any_of(FRegistryKeys.begin(), FRegistryKeys.end(),
                       [&](const TRegistryKey& held) { return held.SameKey(key); });
}

} // namespace velmora
