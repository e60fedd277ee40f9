#include "inventory/LocationUninstall.h"

#include "platform/Thread.h"

namespace velmora {

void TLocationUninstall::CheckTerminated() {
    TThread::CheckTerminated();
}

} // namespace velmora
