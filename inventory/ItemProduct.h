#pragma once
// The base of every inventory item (programs and updates). An item is read in
// stages of rising cost, each guarded by a need flag, so that the list can be
// shown early and the details follow. Items are owned by the library-wide
// lists through std::shared_ptr; a call in progress keeps its item alive.
#include "inventory/LocationUninstall.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace velmora {

class TThread;

class TItemProduct : public std::enable_shared_from_this<TItemProduct> {
public:
    explicit TItemProduct(TTypeUninstallLocation* location);
    // Stops the action thread first.
    virtual ~TItemProduct();
    TItemProduct(const TItemProduct&) = delete;
    TItemProduct& operator=(const TItemProduct&) = delete;

    // The item lock: readers of the fast information see it whole.
    void Lock() { FCSItem.lock(); }
    void Unlock() { FCSItem.unlock(); }

    // The information stages, run on the reading thread.
    // Fast: under the item lock; an error is logged, the silent abort passes
    // on; the need flag is cleared in every case.
    virtual void ReadFastInfo();
    // Extended and images: while slow information is needed; errors pass on.
    virtual void ReadExtendedInfo();
    virtual void ReadImages();
    // Slow: an error is logged and clears the need flag as success does; the
    // silent abort passes on and leaves the flag set, so the read is repeated.
    virtual void ReadSlowInfo();

    // Watches the item's own sources; true when the item has to be read
    // again (the need flags are then set). The base item watches nothing.
    virtual bool CheckChange();

    virtual bool IsActionRunning();
    // Takes the action thread from the item and frees it outside the lock
    // (terminate and wait); a started uninstaller process keeps running.
    virtual void StopActionThread();

    void SetChanged() { FIsChanged.exchange(-1); }
    // Reads and clears the changed flag in one step.
    bool TakeChanged() { return FIsChanged.exchange(0) != 0; }

    TTypeUninstallLocation* Location() const { return FLocation; }
    bool IsNeedReadFastInfo() const { return FIsNeedReadFastInfo.load(); }
    bool IsNeedReadSlowInfo() const { return FIsNeedReadSlowInfo.load(); }

protected:
    // The kind's fast reading (run by ReadFastInfo under the item lock).
    virtual void ReadFastData() = 0;
    virtual void DoReadExtendedInfo() {}
    virtual void DoReadImages() {}
    virtual void DoReadSlowInfo() {}

    // The running action's thread; read and written only under FActionThreadCS,
    // which is never held while waiting for the thread.
    std::unique_ptr<TThread> FActionThread;
    std::mutex FActionThreadCS;
    std::recursive_mutex FCSItem;
    TTypeUninstallLocation* FLocation;
    std::atomic<bool> FIsNeedReadFastInfo{true};
    // Extended, image and slow information have to be (re)read.
    std::atomic<bool> FIsNeedReadSlowInfo{true};
    std::atomic<int32_t> FIsChanged{0};

private:
    void FreeActionThread();
};

} // namespace velmora
