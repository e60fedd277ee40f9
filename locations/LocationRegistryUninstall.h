#pragma once
// The inventory source of the registry: uninstall entries of the machine and
// the user in both views, installer product registrations with their patches,
// and the legacy update keys. A read scans everything into temporary records
// (merging duplicates), then publishes them to the program and update lists
// by mark and sweep. Registry change notifications tell the owner when to
// read again.
#include "inventory/ItemProgram.h"
#include "inventory/LocationUninstall.h"
#include "locations/ProductList.h"
#include "platform/Handles.h"
#include "platform/RegistryKeyText.h"

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace velmora {

class TRegKey;

// The program items this location publishes, made from a record's native
// name, code and keys.
class TItemRegistryProgram : public TItemProgram {
public:
    TItemRegistryProgram(TTypeUninstallLocation* location, const TTemporaryInfo& info);
};

class TLocationRegistryUninstall : public TLocationUninstall {
public:
    // Arms the change notifications; throws EOSError when the event cannot be made.
    TLocationRegistryUninstall();
    ~TLocationRegistryUninstall() override;

    // The reads answer from one walk of the registry places (the reading
    // thread's, shared with the run header, when it has one). An error is
    // logged; a stop request, also while a read waits for another thread's
    // read of this location, passes on.
    void Read() override;
    void ReadPrograms() override;
    void ReadUpdates() override;
    // After a change: re-arms, lets the writer finish (500 ms, ended early by
    // a stop request), answers true.
    bool IsChanged() override;

    // How long IsChanged waits after a change before the owner re-reads.
    static constexpr DWORD ChangeSettleMs = 500;

private:
    struct TPlace {
        TRegRoot Root;
        TRegView View;
        TRegistryKey Key(std::wstring path) const { return {View, Root, std::move(path)}; }
    };
    // HKLM then HKCU, 64-bit view first on 64-bit Windows, then the 32-bit view.
    static std::vector<TPlace> ReadPlaces();
    static std::vector<TRegView> Views();

    // The steps of the reads; the caller holds FReadLock.
    void ScanPrograms();
    void ScanUpdateKeys();
    // Answers the names of the subkeys that are system components, which
    // the second pass then joins to the programs read by the first.
    std::vector<std::wstring> ReadUninstallEntries(TPlace place);
    void ReadSystemComponents(TPlace place, const std::vector<std::wstring>& names);
    void ReadInstallerProducts(TPlace place);
    void ReadInstallerProductList(TPlace place, const std::wstring& path);
    void ReadInstallerPatches(TPlace place, TTemporaryInfo& product, const std::wstring& productKey,
                              const TRegKey& productReg);
    void ReadClassesProducts();
    // The update key at path, read as key, and its subkeys.
    void ReadUpdateKeys(TPlace place, const std::wstring& path, const TRegKey& key);
    void PublishPrograms();
    void PublishUpdates();

    // Fills what is still empty in info from key, opened from registryKey.
    static void FillInfo(const TRegKey& key, TTemporaryInfo& info, const std::wstring& keyName,
                         const TRegistryKey& registryKey);
    // Adds a record of what is known already to list, maps its code, then
    // fills the rest from key; answers the record in the list.
    static TTemporaryInfo* AddFilled(TProductList& list, TTemporaryInfo known, const TRegKey& key,
                                     const std::wstring& keyName, const TRegistryKey& registryKey);

    void WatchKeys();
    void CloseWatches();

    unique_event FWaitEvent;
    std::vector<TRegKey> FWaitRegHandle;
    TProductList FProgramList;
    TProductList FUpdateList;
    // Codes of uninstall entries marked as system components; only grows.
    std::set<std::wstring, TTextLess> FGUIDSystemList;
    // Keeps a front-end ReadUpdates off the temporary lists while the reading
    // thread uses them (and the other way round).
    std::recursive_timed_mutex FReadLock;
    // Takes FReadLock; a stop request of the waiting thread ends the wait.
    std::unique_lock<std::recursive_timed_mutex> LockReads();
};

} // namespace velmora
