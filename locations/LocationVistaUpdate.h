#pragma once
// The servicing packages of Windows Vista and later as installed updates:
// the ".mum" manifests of the servicing folder whose packages the servicing
// registry records as installed. A read collects them into plain records,
// then publishes them to the update list by mark and sweep; a change of the
// folder or of the servicing registry tells the owner to read again.
#include "inventory/ItemUpdate.h"
#include "inventory/LocationUninstall.h"
#include "locations/ServicingPackageRules.h"
#include "platform/Handles.h"
#include "platform/Registry.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What a package's registry key tells its item: the folder, the install
// time, and without one the key's write time as ProductKeyTime answers it.
struct TPackageKeyValues {
    std::optional<FILETIME> KeyTime;
    std::optional<std::wstring> InstallLocation;
    std::optional<DWORD> InstallTimeHigh, InstallTimeLow;
};

class TItemVistaUpdate : public TItemUpdate {
public:
    // A package named by its key (FPackageCode) with its manifest and
    // registry key; uninstallable gives it paUninstall, on every read. The
    // manifest and key values as the location read them spare the first
    // reading the file and the key.
    TItemVistaUpdate(TTypeUninstallLocation* location, const TTemporaryInfo& info,
                     std::vector<std::wstring> fileNames, bool uninstallable,
                     std::shared_ptr<const TServicingManifest> manifest = nullptr,
                     std::optional<TPackageKeyValues> keyValues = std::nullopt);

    // Whatever the action: removing the package with the packaging tool.
    std::wstring GetActionCommand(TPossibleActions action) override;

protected:
    // The manifest's texts and identity, then the package's registry key.
    void ReadDetails() override;

private:
    void ReadManifest();
    void ReadPackageKeys();

    const bool FUninstallable;
    std::shared_ptr<const TServicingManifest> FManifest;
    std::optional<TPackageKeyValues> FKeyValues;
};

class TLocationVistaUpdate : public TLocationUninstall {
public:
    // Arms the change notifications; throws EOSError when the event cannot be made.
    TLocationVistaUpdate();
    ~TLocationVistaUpdate() override;

    // Collect and publish, on Windows Vista or later. A stop request passes
    // on; items not seen are then kept until a complete read.
    void Read() override;
    void ReadUpdates() override;
    // Polls both notifications without waiting; after a change re-arms the
    // one that fired and answers true.
    bool IsChanged() override;

private:
    void WatchFolder();
    void WatchRegistry();
    // Takes FReadLock; a stop request of the waiting thread ends the wait.
    std::unique_lock<std::recursive_timed_mutex> LockReads();

    unique_change_notification FWaitHandle;
    TRegKey FRegWaitKey;
    unique_event FRegWaitEvent;
    // Keeps a front-end ReadUpdates and the reading thread's Read apart.
    std::recursive_timed_mutex FReadLock;
};

} // namespace velmora
