#pragma once
// Installed updates. The class owns the library-wide update list, set up by
// Init and emptied by Done (both run by the location owner's instance cycle).
#include "api/Enums.Velmora.h"
#include "inventory/ItemList.h"
#include "inventory/ItemProduct.h"
#include "inventory/TemporaryInfo.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// "KB" followed by nothing but decimal digits (the bare "KB" counts).
bool IsKBIdent(std::wstring_view name);

class TItemUpdate : public TItemProduct {
public:
    // Made from what its source read: the native name, codes, keys, release
    // type and parent.
    TItemUpdate(TTypeUninstallLocation* location, const TTemporaryInfo& info);
    // Releases the item's icon in the update icon list.
    ~TItemUpdate() override;

    static void Init();
    static void Done();

    // The update list of all locations, with its own re-entrant lock (never
    // held together with the program list lock).
    static TItemList<TItemUpdate>& Items();
    static void LockItems() { Items().Lock().lock(); }
    static void UnlockItems() { Items().Lock().unlock(); }

    // Mark and sweep of one source's re-read.
    static void MarkAllItems(TTypeUninstallLocation* location);
    // Deletes the items of location still marked, logging each.
    static void CheckDeleteMarked(TTypeUninstallLocation* location);
    // Lookups among location's items; nullptr when none matches.
    static std::shared_ptr<TItemUpdate> ItemByCode(std::wstring_view code, TTypeUninstallLocation* location);
    // location's items by package code in upper case, for a re-read that
    // looks up each of its packages.
    static std::map<std::wstring, std::shared_ptr<TItemUpdate>> ItemsByCode(TTypeUninstallLocation* location);
    static std::shared_ptr<TItemUpdate> ItemByGUIDName(std::wstring_view guid, std::wstring_view name,
                                                       TTypeUninstallLocation* location);
    static std::shared_ptr<TItemUpdate> ItemByKBIdent(std::wstring_view name,
                                                      TTypeUninstallLocation* location);

    bool ShowActionWindow() override { return false; }

    // piUpdateID to piParentDisplayName on top of the product's.
    TInfoValue GetInfo(TProductInfo index) override;

    bool Marked() const { return FMarked.load(); }
    void SetMarked(bool marked) { FMarked = marked; }

    // The icons of all updates, Windows only: the default icon comes first.
    // Null outside Init..Done, or when the library's images could not be loaded.
    static TIconImageList* IconList();

protected:
    void ReadFastData() override;
    // Loads the icon, else borrows the parent program's (none in the native build).
    void DoReadSlowInfo() override;
    // The update's own values; by default the registry keys.
    virtual void ReadDetails();

    std::wstring FPackageCode;
    std::vector<std::wstring> FFileNames;
    TReleaseType FReleaseType = TReleaseType::rtNone;
    std::wstring FParentKeyName;
    std::wstring FParentDisplayName;
    std::atomic<bool> FMarked{false};
    std::wstring FKBID;
    std::wstring FUpdateID;
};

} // namespace velmora
