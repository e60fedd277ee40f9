#include "platform/RegistrySnapshot.h"

namespace velmora {

// There is no registry: every key is missing.
std::shared_ptr<const TRegKeySnapshot> WalkRegistryKey(const TRegistryKey&, const TRegDescend&) {
    return nullptr;
}

} // namespace velmora
