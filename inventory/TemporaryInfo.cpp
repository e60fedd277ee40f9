#include "inventory/TemporaryInfo.h"

#include <algorithm>

namespace velmora {

void TTemporaryInfo::AddKey(const TRegistryKey& key, std::shared_ptr<const TRegKeySnapshot> snapshot) {
    if (HasKey(key))
        return;
    FKeySnapshots.resize(FRegistryKeys.size());
    FRegistryKeys.push_back(key);
    FKeySnapshots.push_back(std::move(snapshot));
}

void TTemporaryInfo::AddKeys(const TTemporaryInfo& other) {
    for (size_t index = 0; index < other.FRegistryKeys.size(); ++index)
        AddKey(other.FRegistryKeys[index],
               index < other.FKeySnapshots.size() ? other.FKeySnapshots[index] : nullptr);
}

bool TTemporaryInfo::HasKey(const TRegistryKey& key) const {
    return std::any_of(FRegistryKeys.begin(), FRegistryKeys.end(),
                       [&](const TRegistryKey& held) { return held.SameKey(key); });
}

} // namespace velmora
