#pragma once
// The manager's process list: a snapshot of the running processes, renewed by
// Refresh, held still while a walk is open. Safe to use from any thread.
#include "api/Interfaces.Procyra.h"
#include "components/Boundary.h"
#include "components/procyra/Process.h"
#include "platform/ComObject.h"
#include "platform/LiveObjects.h"

#include <mutex>
#include <vector>

namespace velmora::procyra {

using components::Guarded;

class TPYProcessList : public TInterfacedObject<IPYProcessList>, public TLiveCount<TPYProcessList> {
public:
    bool STDMETHODCALLTYPE IsEmpty() override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    double STDMETHODCALLTYPE GetRefreshTime() override;
    int32_t STDMETHODCALLTYPE GetChangeCount() override;
    int32_t STDMETHODCALLTYPE GetRefreshError() override;
    int32_t STDMETHODCALLTYPE GetWalkDepth() override;
    void STDMETHODCALLTYPE BeginWalk() override;
    bool STDMETHODCALLTYPE HasPendingChange() override;
    int32_t STDMETHODCALLTYPE IndexOfId(int32_t Id) override;
    HRESULT STDMETHODCALLTYPE Refresh() override;
    int32_t STDMETHODCALLTYPE IndexOfText(LPCWSTR Text, int32_t From) override;
    void STDMETHODCALLTYPE GetText(int32_t Index, BSTR* Text) override;
    void STDMETHODCALLTYPE EndWalk() override;

    int32_t STDMETHODCALLTYPE GetCount() override;
    void STDMETHODCALLTYPE GetItem(int32_t Index, IPYProcess** Process) override;

protected:
    void* QueryOther(REFIID riid) override;

private:
    enum class TChange { None, Refresh, Clear };

    // Makes a change now, or records it for the end of the open walk; the
    // caller holds the lock.
    HRESULT Change(TChange change);
    HRESULT Apply(TChange change);
    TPYProcess* Item(int32_t index) const;
    // Runs body under the list's lock at the interface boundary.
    template <class R, class Body> R Locked(R fallback, Body&& body) {
        return Guarded(fallback, [&] {
            std::lock_guard lock(FLock);
            return body();
        });
    }

    std::vector<TComPtr<TPYProcess>> FItems;
    int32_t FWalkDepth = 0;
    TChange FPending = TChange::None;
    double FRefreshTime = 0;
    int32_t FChangeCount = 0;
    DWORD FRefreshError = 0;
};

} // namespace velmora::procyra
