#pragma once
// The services a forced removal found, and their removal.
#include "forceremove/Leftovers.h"

#include <memory>
#include <vector>

namespace velmora {

class IRemoveStrategy;

using TFRServiceList = std::vector<std::unique_ptr<TFRService>>;

// Removes every listed service; a failure is recorded on the service and
// logged, and the next service follows.
void RemoveServices(TFRServiceList& services, IRemoveStrategy& strategy);

} // namespace velmora
