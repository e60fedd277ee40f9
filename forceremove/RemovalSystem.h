#pragma once
// What a forced removal needs of the system it runs on: the scanners, the
// remove strategy, the process unlocker and the exclusive-open test. Windows
// has its own (WindowsRemovalSystem); tests bring theirs.
#include "forceremove/ServiceList.h"
#include "forceremove/Tasks.h"
#include "platform/RegistryKeyText.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class IRemoveStrategy;
class TAppFolders;
class TFRFile;
class TFRFileList;
class TFRRegList;
class TFRShortcutList;
class TIDList;
class TSharedDllCounts;
class TSharedFolders;

// What the removal knows of the product, read from its item at the start.
struct TFRProduct {
    std::wstring DisplayName;
    std::wstring ProductCode; // the installer's product code, or the key name
    std::wstring InstallLocation;
    std::vector<TRegistryKey> RegistryKeys; // the product's own keys
    std::wstring Publisher;
};

// The removal's lists a scanner fills; none is owned.
struct TFRScanLists {
    TAppFolders& AppFolders;
    TFRFileList& FileList;
    std::vector<TFRFile*>& DataFileList;
    TFRRegList& RegList;
    TFRShortcutList& ShortcutList;
    TFRServiceList& SvcList;
    // AppIDs and class identifiers found so far, shared by the registry scanners.
    TIDList& AppIDs;
    TIDList& CLSIDs;
};

class TRemovalSystem {
public:
    virtual ~TRemovalSystem() = default;

    virtual bool Is64BitWindows() = 0;
    virtual std::wstring WindowsFolder() = 0;
    // The folders no program owns.
    virtual const TSharedFolders& SharedFolders() = 0;
    virtual std::unique_ptr<TSharedDllCounts> SharedDllCounts() = 0;
    // Where the other registered programs are installed (the product's own
    // keys left out): a folder holding one is never the product's.
    virtual std::vector<std::wstring> OtherInstallLocations(const TFRProduct&) { return {}; }
    // A recorded folder as a path: variables expanded, quotes removed.
    virtual std::wstring PreparePath(const std::wstring& path) = 0;
    // The scanners in the order they run, wired to the lists; each calls
    // check at every item it scans.
    virtual std::vector<std::unique_ptr<IFRTask>>
    Scanners(const TFRProduct& product, const TFRScanLists& lists, TWorkflowCheck check) = 0;
    // Changes the system directly.
    virtual std::unique_ptr<IRemoveStrategy> Strategy() = 0;
    // The suite's backup settings back up this tool's removals.
    virtual bool BackupEnabled() = 0;
    // Changes the system through the backup component, inside one backup set
    // named after the product; storeFull is asked when the backup store lacks
    // space and answers whether to go on without backup. Raises when the
    // component cannot be reached.
    virtual std::unique_ptr<IRemoveStrategy> BackedUpStrategy(const std::wstring& productName,
                                                              std::function<bool()> storeFull) = 0;
    // Ends the processes started from the program's folders; raises on failure.
    virtual void UnlockFiles(const TAppFolders& folders) = 0;
    // The file opens for reading and writing with no sharing.
    virtual bool OpensExclusively(const std::wstring& path) = 0;
};

// Windows only (RemovalSystem.win.cpp).
std::unique_ptr<TRemovalSystem> WindowsRemovalSystem();

} // namespace velmora
