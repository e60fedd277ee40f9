#include "forceremove/ServiceList.h"

#include "forceremove/RemoveStrategy.h"
#include "frame/DebugLog.h"

namespace velmora {

void RemoveServices(TFRServiceList& services, IRemoveStrategy& strategy) {
    for (const auto& service : services) {
        try {
            strategy.RemoveService(service->Name());
            service->Outcome().SetRemoved();
        } catch (...) {
            service->Outcome().SetFailed(ErrorMessage(std::current_exception()));
            StatisticsLog::AddError();
        }
    }
}

} // namespace velmora
