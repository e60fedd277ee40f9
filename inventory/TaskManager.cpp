#include "inventory/TaskManager.h"

namespace velmora {

// No job is ever queued until the queue itself exists.
void TTaskManager::Stop() {}

} // namespace velmora
