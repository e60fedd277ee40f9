#pragma once
// The base of every inventory item (programs and updates). An item is read in
// stages of rising cost, each guarded by a need flag, so that the list can be
// shown early and the details follow. Items are owned by the library-wide
// lists through std::shared_ptr; a call in progress keeps its item alive.
#include "api/Enums.Velmora.h"
#include "inventory/LocationUninstall.h"
#include "inventory/TemporaryInfo.h"
#include "platform/RegistryKeyText.h"
#include "platform/RegistrySnapshot.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velmora {

class TThread;
class TRegKey;
class TIconImageList;

// An OLE date among the information values (distinct from a plain number).
struct TInfoDate {
    double Value = 0;
    bool operator==(const TInfoDate&) const = default;
};
// One answer of the product information table: null, text, date, 32-bit or
// 64-bit integer.
using TInfoValue = std::variant<std::monostate, std::wstring, TInfoDate, int32_t, int64_t>;

// The flags an uninstall key sets for its commands (REG_DWORD, non-zero = set).
struct TCommandFlags {
    bool NoModify = false;
    bool NoRepair = false;
    bool NoRemove = false;
    bool WindowsInstaller = false;
};

// "VersionMajor" / "VersionMinor" as a version text: "5.2", "5" or empty.
std::wstring ComposeVersion(const std::optional<std::wstring>& major,
                            const std::optional<std::wstring>& minor);
// True when folder lies under one of the Program Files folders (case-insensitive
// prefix; an empty Program Files folder matches nothing).
bool IsInProgramFolder(std::wstring_view folder, std::wstring_view programFiles,
                       std::wstring_view programFilesX86);
// The install date after comparing it with the write dates of the item's keys
// (in key order; nothing for a key that does not open): the first key written
// on the recorded day, or the first key at all when no date is recorded.
double RefinedInstallDate(double installDate, const std::vector<std::optional<double>>& keyDates);
// An item's key with this subkey is read from the subkey (installer-managed
// products keep their values there).
inline constexpr std::wstring_view InstallPropertiesKey = L"InstallProperties";

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
    // Fast: under the item lock, from empty fields, so that a re-read shows
    // what the keys say now; an error is logged, the silent abort passes on;
    // the need flag is cleared in every case.
    virtual void ReadFastInfo();
    // A source found the item again. When the record's keys differ from the
    // ones the last fast read saw (another key list, or a key written since),
    // the item takes them, with what the source's walk read of them, and is
    // read afresh; answers whether it was.
    bool ReadAgainIfChanged(const TTemporaryInfo& info);
    // Extended and images: while slow information is needed; errors pass on.
    virtual void ReadExtendedInfo();
    virtual void ReadImages();
    // Slow: an error is logged and clears the need flag as success does; the
    // silent abort passes on and leaves the flag set, so the read is repeated.
    virtual void ReadSlowInfo();

    // Watches the item's own sources; true when the item has to be read
    // again (the need flags are then set). The base item watches nothing.
    virtual bool CheckChange();

    // The command line an action runs; empty when the action runs nothing.
    virtual std::wstring GetActionCommand(TPossibleActions action);
    // True: an action's process shows its window.
    virtual bool ShowActionWindow() { return true; }
    virtual bool IsActionRunning();
    // Starts the action's thread and answers true; paRemoveFromRegistry runs
    // nothing here. While an action runs nothing starts: action and topWindow
    // (an HWND on Windows) then name the running action and its window, and
    // the answer is false. The set of possible actions is not consulted.
    virtual bool RunAction(TPossibleActions& action, void*& topWindow);
    // Called by the action thread when its work is done: unless a stop has
    // taken it already, the thread leaves the item and frees itself when it ends.
    void DetachActionThread(TThread* thread);
    // Takes the action thread from the item and frees it outside the lock
    // (terminate and wait); a started uninstaller process keeps running.
    virtual void StopActionThread();

    void SetChanged() { FIsChanged.exchange(-1); }
    // Reads and clears the changed flag in one step.
    bool TakeChanged() { return FIsChanged.exchange(0) != 0; }

    // One entry of the product information table (piDisplayName to
    // piEstimatedSize here; the kinds add theirs), read under the item lock;
    // null for the indices an item does not answer.
    virtual TInfoValue GetInfo(TProductInfo index);

    bool IsInstallerMaybeCorrupted() const {
        return FInstallLocationCorrupted || FDisplayIconNotFound || FProductCodeNotFound;
    }
    int32_t IconIndex() const { return FIconIndex.load(); }
    TPossibleActionsSet PossibleActions() const { return FPossibleActions.load(); }
    // Copies taken under the item lock.
    std::vector<TRegistryKey> RegistryKeys();
    std::wstring InstallLocation();
    std::wstring DisplayName();
    // The installer's product code, or the name of the product's key.
    std::wstring GUID();

    // Registry and icons, Windows only (ItemProduct.win.cpp):
    // Reads every key of FRegistryKeys; the first key that gives a value wins.
    void ReadRegistryKeys();
    // Writes the estimated size (in kilobytes) back to the main key; the
    // key's time, which may be the install date shown, stays as it was.
    void WriteDataToRegistry();
    // Loads the icon of a reference ("file,index"); false when none loads.
    bool LoadIconFromReference(TIconImageList& iconList, const std::wstring& reference);
    // Adds a PNG of the library's resources; always true.
    bool LoadPngIcon(TIconImageList& iconList, const wchar_t* resourceName);

    // The lookup of a location's re-read: this location, this GUID and
    // native name (both without regard to case). Caller holds the list lock.
    bool IsGUIDName(const TTypeUninstallLocation* location, std::wstring_view guid,
                    std::wstring_view name) const;

    TTypeUninstallLocation* Location() const { return FLocation; }
    bool IsNeedReadFastInfo() const { return FIsNeedReadFastInfo.load(); }
    bool IsNeedReadSlowInfo() const { return FIsNeedReadSlowInfo.load(); }
    // A source saw the item again: its slow information is read anew.
    void SetNeedReadSlowInfo() { FIsNeedReadSlowInfo = true; }

protected:
    // The kind's fast reading (run by ReadFastInfo under the item lock).
    virtual void ReadFastData() = 0;
    // Empties what the fast reading fills, before it runs.
    virtual void ClearFastData();
    virtual void DoReadExtendedInfo() {}
    virtual void DoReadImages() {}
    virtual void DoReadSlowInfo() {}
    // What one of the item's keys tells (run by ReadRegistryKeys).
    virtual void ReadRegistryValues(const TRegKey& reg);
    virtual void ReadCommands(const TRegKey& reg);

    // Adds the actions the commands allow, after the commands and flags of a
    // key have been read; programExists tells whether a command's program file exists.
    void AddCommandActions(const TCommandFlags& flags,
                           const std::function<bool(const std::wstring&)>& programExists);
    // Gives the install date the time of day of the key written that day
    // (the write dates ReadRegistryKeys saw).
    void RefineInstallDate();
    void AddPossibleAction(TPossibleActions action) { FPossibleActions.fetch_or(ActionBit(action)); }
    // Swaps in a new icon list index; answers the old one.
    int32_t ExchangeIconIndex(int32_t index) { return FIconIndex.exchange(index); }

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

    std::wstring FDisplayNameNative;
    std::wstring FGUID;
    // The item's keys, the main key first.
    std::vector<TRegistryKey> FRegistryKeys;
    // What the source's walk read of FRegistryKeys (in step with it; null for
    // a key it did not read), taken by the next fast read, which asks the
    // registry only for the others.
    std::vector<std::shared_ptr<const TRegKeySnapshot>> FKeySnapshots;
    // The write time (FILETIME as one number) of the key each of
    // FRegistryKeys was read from at the last fast read; 0 where none opened.
    std::vector<uint64_t> FRegistryKeyTimes;
    // The last write date of each key as the last ReadRegistryKeys saw it
    // (nothing for a key that did not open).
    std::vector<std::optional<double>> FRegistryKeyDates;
    std::wstring FDisplayIcon;
    bool FIsWinInstaller = false;
    std::wstring FCmdUninstallQuiet;
    std::wstring FCmdUninstall;
    std::wstring FCmdModify;
    std::wstring FCmdRepair;
    std::wstring FDisplayName;
    std::atomic<int32_t> FIconIndex{-1};
    std::wstring FDisplayVersion;
    std::wstring FPublisher;
    std::wstring FInstallLocation;
    std::wstring FInstallSource;
    double FInstallDate = 0;
    std::wstring FContact;
    std::wstring FComments;
    std::wstring FURLReadMe;
    std::wstring FURLHelpLink;
    std::wstring FURLSupport;
    std::wstring FPhoneSupport;
    std::wstring FURLUpdateInfo;
    std::wstring FLanguage;
    int64_t FEstimatedSize = 0;
    std::atomic<TPossibleActionsSet> FPossibleActions{0};
    // The install folder's change notification (a HANDLE; null until created).
    void* FWaitEvent = nullptr;
    std::atomic<bool> FInstallLocationCorrupted{false};
    std::atomic<bool> FDisplayIconNotFound{false};
    std::atomic<bool> FProductCodeNotFound{false};

private:
    // Stores a measured size under the item lock.
    friend class TTaskManager;

    void FreeActionThread();
    // Per OS: closes the install folder's change notification.
    void CloseWaitEvent();
    // Per OS: a new, unstarted thread that runs the action's command.
    std::unique_ptr<TThread> NewActionThread(TPossibleActions action);
    // Per OS: the action and window of the running action thread; the caller
    // holds FActionThreadCS.
    void NameRunningAction(TPossibleActions& action, void*& topWindow) const;
};

} // namespace velmora
