#pragma once
// Installed programs. The class owns the library-wide program list, the list
// of rarely used programs and the program icon list, set up by Init and
// emptied by Done (both run by the location owner's instance cycle).
#include "inventory/ItemList.h"
#include "inventory/ItemProduct.h"
#include "platform/PathText.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

class TItemFolder;

// Days without use after which a program counts as rarely used.
constexpr int RarelyUsedDays = 182;

// True when lastUsed (an OLE date, 0 = never) lies more than RarelyUsedDays
// whole days before now.
bool IsRarelyUsed(double lastUsed, double now);

// The Add/Remove Programs cache record ("SlowInfoCache"), as Windows before
// Windows 7 stores it for each program.
struct TSlowInfoCache {
    static constexpr size_t RecordSize = 552;
    bool HasName = false;
    int64_t InstallSize = 0;
    // FILETIME (UTC) as one number.
    uint64_t LastUsed = 0;
    int32_t UseCount = 0;
    std::wstring FileName;
};
// Nothing unless data is a record of exactly RecordSize bytes.
std::optional<TSlowInfoCache> ParseSlowInfoCache(std::span<const uint8_t> data);

// True when a command names a program by a path that does not exist (the
// program of the command as ProgramOfCommand finds it). An empty command, one
// that names an existing file as a whole, and one whose program has no folder
// part (not found on the search path either) never count as missing.
bool IsCommandMissing(const std::wstring& command, const TCommandProbe& probe);

// True when a program's folder is worth measuring in the background: no size
// known yet, a folder longer than a drive root, not under the Windows folder
// and not one of the Program Files folders itself (all without regard to case
// or trailing separators). Whether the folder exists is the caller's check.
bool NeedsSizeJob(int64_t estimatedSize, std::wstring_view location, std::wstring_view windowsFolder,
                  std::wstring_view programFiles, std::wstring_view programFilesX86);

class TItemProgram : public TItemProduct {
public:
    explicit TItemProgram(TTypeUninstallLocation* location);
    // Leaves the icon list and the rarely used list.
    ~TItemProgram() override;

    static void Init();
    static void Done();

    // The program list of all locations. Its lock is re-entrant; it also
    // guards the program fields written in the extended pass.
    static TItemList<TItemProgram>& Items();
    // Programs last used long ago: a subset of Items() under the same lock.
    static TItemRefList<TItemProgram>& UnusedItems();
    static void LockItems() { Items().Lock().lock(); }
    static void UnlockItems() { Items().Lock().unlock(); }

    // The first program of location with this GUID and native display name
    // (both without regard to case), or nullptr.
    static std::shared_ptr<TItemProgram> ItemByGUIDName(std::wstring_view guid, std::wstring_view name,
                                                        TTypeUninstallLocation* location);
    // A location's re-read: mark all, unmark (or add) what is found, remove the rest.
    static void MarkAllFrom(TTypeUninstallLocation* location);
    static void RemoveMarked(TTypeUninstallLocation* location);

    // The folder of the library's own file, with a trailing separator.
    static const std::wstring& HostFolder();
    static bool IsInHostFolder(std::wstring_view path);

    // The base slow reading, then keeps the rarely used list in step.
    void ReadSlowInfo() override;

    // The base behaviour; a remove-from-registry action then drops the
    // program from the program list (its uninstall entry stays).
    bool RunAction(TPossibleActions& action, void*& topWindow) override;

    // piRegisteredOwner to piSoftwareRating on top of the product's.
    TInfoValue GetInfo(TProductInfo index) override;

    bool Marked() const { return FMarked.load(); }
    void SetMarked(bool marked) { FMarked = marked; }

    // The icons of all programs, Windows only: the three rating images (0 to
    // 2) and the default program icon (3) come first and are never a
    // program's own.
    static constexpr int32_t FirstProgramIcon = 4;
    // The list is null outside Init..Done, or when the library's images
    // could not be loaded.
    static TIconImageList* IconList();

protected:
    void ReadFastData() override;
    void ClearFastData() override;
    // The stages beyond the fast reading consult the registry, the installer,
    // the executable catalogue, icons and the reputation component: the
    // native build reads nothing there.
    void DoReadExtendedInfo() override;
    void DoReadImages() override;
    void DoReadSlowInfo() override;
    void ReadRegistryValues(const TRegKey& reg) override;
    void ReadCommands(const TRegKey& reg) override;
    // Rating through the reputation component; throws when it is unavailable.
    virtual void ReadSoftwareRating(TItemFolder* itemExe);
    // Usage data for the install folder (with a trailing separator).
    virtual void ReadUsage(const std::wstring& folder);
    // Windows only: merges the Add/Remove Programs cache entry of keyName
    // (machine, then user).
    void ReadSlowInfoCache(const std::wstring& keyName);
    // Takes over what the Add/Remove Programs cache knows; lastUsedDate is the
    // record's time as a local OLE date.
    void ApplySlowInfoCache(const TSlowInfoCache& cache, double lastUsedDate);

    std::wstring FProductID;
    std::wstring FRegisteredOwner;
    std::wstring FRegisteredCompany;
    TSoftwareRating FSoftwareRating = TSoftwareRating::stUnknown;
    std::wstring FSlowExePath;
    double FLastUsedDate = 0;
    int32_t FUsedFrequencyCount = -1;
    // The program's main executable in its install folder (an entry of the
    // executable catalogue, which outlives every item); not owned.
    TItemFolder* FItemExe = nullptr;
    std::atomic<bool> FMarked{false};
};

// The current local time as an OLE date.
double NowOleDate();

} // namespace velmora
