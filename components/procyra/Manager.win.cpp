#include "components/procyra/Manager.h"

#include "components/Boundary.h"

namespace velmora::procyra {

using components::Guarded;

TPYManager::TPYManager() : FList(new TPYProcessList) {}

bool STDMETHODCALLTYPE TPYManager::IsLoaded() {
    return FLoaded;
}

void STDMETHODCALLTYPE TPYManager::FindProcess(int32_t Id, IPYProcess** Process) {
    Guarded([&] {
        if (!Process)
            return;
        *Process = nullptr;
        for (auto& entry : ProcessList())
            if (entry.ProcessID == static_cast<DWORD>(Id))
                return MakeCom<TPYProcess, IPYProcess>(std::move(entry)).CopyTo(Process);
    });
}

void STDMETHODCALLTYPE TPYManager::GetProcessList(IPYProcessList** List) {
    Guarded([&] {
        if (!List)
            return;
        if (!FLoaded.exchange(true))
            FList->Refresh();
        TComPtr<IPYProcessList>(FList.get()).CopyTo(List);
    });
}

int LiveProcyraObjects() {
    return LiveObjectCount<TPYManager, TPYProcessList, TPYProcess>();
}

} // namespace velmora::procyra
