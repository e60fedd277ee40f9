#pragma once
// The process manager handed out by ProcyraHelper.dll and by the agents' COM
// class: one process list per manager, read on first use.
#include "api/Interfaces.Procyra.h"
#include "components/procyra/ProcessList.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <atomic>

namespace velmora::procyra {

class TPYManager : public TInterfacedObject<IPYManager>, public TLiveCount<TPYManager> {
public:
    TPYManager();

    bool STDMETHODCALLTYPE IsLoaded() override;
    void STDMETHODCALLTYPE FindProcess(int32_t Id, IPYProcess** Process) override;
    void STDMETHODCALLTYPE GetProcessList(IPYProcessList** List) override;

private:
    TComPtr<TPYProcessList> FList;
    std::atomic<bool> FLoaded{false};
};

// Every object of the component still alive.
int LiveProcyraObjects();

} // namespace velmora::procyra
