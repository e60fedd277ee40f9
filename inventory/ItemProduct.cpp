#include "inventory/ItemProduct.h"

#include "frame/DebugLog.h"
#include "platform/Thread.h"

namespace velmora {

TItemProduct::TItemProduct(TTypeUninstallLocation* location) : FLocation(location) {}

TItemProduct::~TItemProduct() {
    FreeActionThread();
}

void TItemProduct::ReadFastInfo() {
    if (!FIsNeedReadFastInfo)
        return;
    struct TClearNeed {
        std::atomic<bool>& Flag;
        ~TClearNeed() { Flag = false; }
    } clearNeed{FIsNeedReadFastInfo};
    std::lock_guard lock(FCSItem);
    try {
        ReadFastData();
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
}

void TItemProduct::ReadExtendedInfo() {
    if (!FIsNeedReadSlowInfo)
        return;
    DoReadExtendedInfo();
    SetChanged();
}

void TItemProduct::ReadImages() {
    if (!FIsNeedReadSlowInfo)
        return;
    DoReadImages();
    SetChanged();
}

void TItemProduct::ReadSlowInfo() {
    if (!FIsNeedReadSlowInfo)
        return;
    try {
        DoReadSlowInfo();
    } catch (const EAbort&) {
        SetChanged();
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
    FIsNeedReadSlowInfo = false;
    SetChanged();
}

bool TItemProduct::CheckChange() {
    return false;
}

bool TItemProduct::IsActionRunning() {
    std::lock_guard lock(FActionThreadCS);
    return FActionThread != nullptr;
}

void TItemProduct::StopActionThread() {
    FreeActionThread();
}

void TItemProduct::FreeActionThread() {
    std::unique_ptr<TThread> thread;
    {
        std::lock_guard lock(FActionThreadCS);
        thread = std::move(FActionThread);
    }
    // The thread's destructor terminates it and waits; the ending thread may
    // still take FActionThreadCS meanwhile.
    thread.reset();
}

} // namespace velmora
