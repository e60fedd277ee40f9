#include "inventory/ItemUpdate.h"

#include "frame/DebugLog.h"
#include "frame/StringsLocalized.h"
#include "platform/Format.h"
#include "platform/LibraryGlobal.h"
#include "platform/Text.h"

#include <mutex>

namespace velmora {

// Per OS: the update icon list and the name of the running Windows version.
namespace update_os {
void CreateIconList();
void FreeIconList();
void FreeUpdateIcon(int32_t index);
std::wstring RunningWindowsName();
} // namespace update_os

namespace {

// The display name of an update known only by its package identifier; empty
// for a release type without a text of its own.
std::wstring KBDisplayName(TReleaseType releaseType, const std::wstring& kbid) {
    std::wstring text;
    switch (releaseType) {
    case TReleaseType::rtSoftwareUpdate:
        text = DLLStringsLocalized::SoftwareUpdate();
        break;
    case TReleaseType::rtUpdate:
        text = DLLStringsLocalized::Update();
        break;
    case TReleaseType::rtUpdateRollup:
        text = DLLStringsLocalized::UpdateRollup();
        break;
    case TReleaseType::rtServicePack:
        text = DLLStringsLocalized::ServicePack();
        break;
    case TReleaseType::rtCriticalUpdate:
        text = DLLStringsLocalized::CriticalUpdate();
        break;
    case TReleaseType::rtSecurityUpdate:
        text = DLLStringsLocalized::SecurityUpdate();
        break;
    case TReleaseType::rtHotfix:
        text = DLLStringsLocalized::Hotfix();
        break;
    default:
        return {};
    }
    return Format(text, kbid);
}

std::wstring LocationClassName(TTypeUninstallLocation* location) {
    auto* source = dynamic_cast<TLocationUninstall*>(location);
    return source ? source->ClassName() : std::wstring();
}

} // namespace

bool IsKBIdent(std::wstring_view name) {
    if (name.size() < 2 || name[0] != L'K' || name[1] != L'B')
        return false;
    for (wchar_t c : name.substr(2)) {
        if (c < L'0' || c > L'9')
            return false;
    }
    return true;
}

TItemUpdate::TItemUpdate(TTypeUninstallLocation* location, const TTemporaryInfo& info)
    : TItemProduct(location), FPackageCode(info.FPackageCode), FReleaseType(info.FReleaseType),
      FParentKeyName(info.FParentKeyName), FParentDisplayName(info.FParentDisplayName) {
    FDisplayNameNative = info.FDisplayName;
    FGUID = info.FGUID;
    FRegistryKeys = info.FRegistryKeys;
    FKeySnapshots = info.FKeySnapshots;
    FIconIndex = 0;
}

TItemUpdate::~TItemUpdate() {
    update_os::FreeUpdateIcon(ExchangeIconIndex(-1));
}

TItemList<TItemUpdate>& TItemUpdate::Items() {
    static TLibraryGlobal<TItemList<TItemUpdate>> items;
    return *items;
}

// A fresh cycle starts with an empty list, whatever a previous one left.
void TItemUpdate::Init() {
    Items().Clear();
    update_os::CreateIconList();
}

// The items give their icons back before the icon list goes.
void TItemUpdate::Done() {
    Items().Clear();
    update_os::FreeIconList();
}

void TItemUpdate::MarkAllItems(TTypeUninstallLocation* location) {
    Items().MarkAllOf(location);
}

void TItemUpdate::CheckDeleteMarked(TTypeUninstallLocation* location) {
    const std::wstring className = LocationClassName(location);
    auto deleted = Items().TakeMarkedOf(location, [&](const TItemUpdate& item) {
        StatisticsLog::Add(L"");
        StatisticsLog::Add(L"Location: %s, NativeName: %s, PackageCode: %s", className,
                           item.FDisplayNameNative, item.FPackageCode);
    });
}

std::shared_ptr<TItemUpdate> TItemUpdate::ItemByCode(std::wstring_view code,
                                                     TTypeUninstallLocation* location) {
    return Items().First([&](const TItemUpdate& item) {
        return item.FLocation == location && SameText(item.FPackageCode, code);
    });
}

std::map<std::wstring, std::shared_ptr<TItemUpdate>>
TItemUpdate::ItemsByCode(TTypeUninstallLocation* location) {
    std::map<std::wstring, std::shared_ptr<TItemUpdate>> items;
    std::lock_guard lock(Items().Lock());
    for (int index = 0; index < Items().Count(); ++index)
        if (auto item = Items().Get(index); item && item->FLocation == location)
            items.emplace(UpperCase(item->FPackageCode), item);
    return items;
}

std::shared_ptr<TItemUpdate> TItemUpdate::ItemByGUIDName(std::wstring_view guid, std::wstring_view name,
                                                         TTypeUninstallLocation* location) {
    return Items().First([&](const TItemUpdate& item) { return item.IsGUIDName(location, guid, name); });
}

std::shared_ptr<TItemUpdate> TItemUpdate::ItemByKBIdent(std::wstring_view name,
                                                        TTypeUninstallLocation* location) {
    if (!IsKBIdent(name))
        return nullptr;
    return Items().First([&](const TItemUpdate& item) {
        return item.FLocation == location && item.FDisplayNameNative.find(name) != std::wstring::npos;
    });
}

void TItemUpdate::ReadFastData() {
    ReadDetails();
    if (FReleaseType == TReleaseType::rtNone)
        FReleaseType = TReleaseType::rtUpdate;
    if ((FDisplayName.empty() || SameText(FDisplayName, L"default")) && !FKBID.empty())
        FDisplayName = KBDisplayName(FReleaseType, FKBID);
    if (FDisplayName.empty() && !FParentDisplayName.empty())
        FDisplayName = Format(DLLStringsLocalized::SoftwarePatch(), FParentDisplayName);
    if (FParentDisplayName.empty())
        FParentDisplayName = update_os::RunningWindowsName();
}

TInfoValue TItemUpdate::GetInfo(TProductInfo index) {
    std::lock_guard lock(FCSItem);
    switch (index) {
    case piUpdateID:
        return FUpdateID.empty() ? FGUID : FUpdateID;
    case piReleaseType:
        return static_cast<int32_t>(FReleaseType);
    case piParentDisplayName:
        return FParentDisplayName;
    default:
        return TItemProduct::GetInfo(index);
    }
}

} // namespace velmora
