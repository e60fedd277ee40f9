#include "locations/LocationRegistryUninstall.h"

#include "frame/Decoders.h"
#include "frame/DebugLog.h"
#include "inventory/ItemUpdate.h"
#include "platform/Format.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/Registry.h"
#include "platform/RegistrySnapshot.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <windows.h>

#include <chrono>
#include <optional>

namespace velmora {

namespace {

constexpr wchar_t UninstallPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t HotFixPath[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\HotFix";
constexpr wchar_t UpdatesPath[] = L"Software\\Microsoft\\Updates";
constexpr wchar_t ClassesProductsPath[] = L"Installer\\Products";
constexpr wchar_t LocalSystemSID[] = L"S-1-5-18";
constexpr wchar_t PatchesKey[] = L"Patches";

// Below an installer product list the read needs the products, their
// InstallProperties and Patches subkeys, and the patches.
bool InstallerDescend(size_t depth, std::wstring_view name) {
    return depth == 1 || depth == 3 ||
           (depth == 2 && (SameText(name, InstallPropertiesKey) || SameText(name, PatchesKey)));
}

// A place as the read's walk read it.
TRegKey OpenPlace(const TRegistryKey& place, const TRegDescend& descend = {}) {
    return TRegKey::FromSnapshot(TRegistrySnapshot::Current()->Read(place, descend), place);
}

std::wstring ReadDisplayName(const TRegKey& key) {
    for (const wchar_t* name : {L"DisplayName", L"ProductName", L"PackageName"}) {
        if (auto value = key.ReadString(name))
            return *value;
    }
    return {};
}

std::wstring DecodeGUID(std::wstring_view text) {
    std::wstring guid;
    TryDecodeGUIDFromStr(text, guid);
    return guid;
}

std::wstring ReadGUID(const TRegKey& key, const std::wstring& keyName) {
    if (auto productID = key.ReadString(L"ProductID")) {
        std::wstring guid = DecodeGUID(*productID);
        if (!guid.empty())
            return guid;
    }
    std::wstring_view name = keyName;
    while (!name.empty() && name.back() == L'\\')
        name.remove_suffix(1);
    return DecodeGUID(name);
}

bool IsSystemComponent(const TRegKey& key) {
    auto value = key.ReadNumber(L"SystemComponent");
    return value && *value != 0;
}

bool IsKeyEmpty(const TRegKey& key) {
    auto info = key.KeyInfo();
    return !info || info->ValueCount == 0;
}

bool IsPatchApplied(const TRegKey& key) {
    auto state = key.ReadNumber(L"State");
    return !state || *state == 1;
}

// Collected first: the walk must not see the key change under it.
std::vector<std::wstring> SubKeyNames(const TRegKey& key) {
    return key ? key.SubKeyNames().ToVector() : std::vector<std::wstring>();
}

// Runs a read step; an error is logged, a stop request passes on to the
// reading thread. The temporary lists are emptied by the caller's cleanup
// either way.
template <class Step> void Guarded(Step&& step) {
    try {
        step();
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
}

// Empties the temporary lists when a read ends, however it ends.
struct TClearLists {
    std::vector<TProductList*> Lists;
    ~TClearLists() {
        for (TProductList* list : Lists)
            list->Clear();
    }
};

// The walk a read answers from: the reading thread's, which the run header
// read already, or one of the read's own.
class TReadWalk {
public:
    TReadWalk() {
        if (!TRegistrySnapshot::Current())
            FOwn.emplace(std::make_shared<TRegistrySnapshot>());
    }

private:
    std::optional<TRegistrySnapshot::TScope> FOwn;
};

// The statistics lines of a newly published item, in one piece: an empty
// line, the title with display name and code, then its keys.
void LogAdded(std::wstring_view title, const TTemporaryInfo& info) {
    TLogGroup group(StatisticsLog::Instance());
    StatisticsLog::Add(L"");
    StatisticsLog::Add(title, info.FDisplayName, info.FGUID);
    for (const auto& key : info.FRegistryKeys)
        StatisticsLog::Add(std::wstring_view(key.Text()));
}

} // namespace

TItemRegistryProgram::TItemRegistryProgram(TTypeUninstallLocation* location, const TTemporaryInfo& info)
    : TItemProgram(location) {
    FDisplayNameNative = info.FDisplayName;
    FGUID = info.FGUID;
    FRegistryKeys = info.FRegistryKeys;
    FKeySnapshots = info.FKeySnapshots;
}

TLocationRegistryUninstall::TLocationRegistryUninstall() {
    FWaitEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!FWaitEvent)
        throw EOSError(L"CreateEvent", GetLastError());
    WatchKeys();
}

TLocationRegistryUninstall::~TLocationRegistryUninstall() {
    CloseWatches();
}

std::vector<TRegView> TLocationRegistryUninstall::Views() {
    if (Is64BitWindows())
        return {TRegView::x64, TRegView::x32};
    return {TRegView::x32};
}

std::vector<TLocationRegistryUninstall::TPlace> TLocationRegistryUninstall::ReadPlaces() {
    std::vector<TPlace> places;
    for (TRegView view : Views()) {
        places.push_back({TRegRoot::LocalMachine, view});
        places.push_back({TRegRoot::CurrentUser, view});
    }
    return places;
}

// ---- reading

void TLocationRegistryUninstall::FillInfo(const TRegKey& key, TTemporaryInfo& info,
                                          const std::wstring& keyName, const TRegistryKey& registryKey) {
    if (info.FInternalName.empty())
        info.FInternalName = keyName;
    if (info.FDisplayName.empty())
        info.FDisplayName = ReadDisplayName(key);
    if (info.FGUID.empty())
        info.FGUID = ReadGUID(key, keyName);
    if (info.FReleaseType == TReleaseType::rtNone) {
        if (auto type = key.ReadString(L"ReleaseType"))
            info.FReleaseType = DecodeReleaseType(*type);
    }
    if (info.FReleaseType == TReleaseType::rtNone) {
        if (auto type = key.ReadString(L"Type"))
            info.FReleaseType = DecodeReleaseType(*type);
    }
    if (info.FReleaseType == TReleaseType::rtNone || info.FReleaseType == TReleaseType::rtUpdate) {
        // 1 to 8 stand for the release types from rtNone on; 0 and 9 mean nothing here.
        if (auto patchType = key.ReadNumber(L"PatchType"); patchType && *patchType >= 1 && *patchType <= 8)
            info.FReleaseType = static_cast<TReleaseType>(*patchType - 1);
    }
    if (info.FParentKeyName.empty())
        info.FParentKeyName = key.ReadString(L"ParentKeyName").value_or(L"");
    if (info.FParentDisplayName.empty())
        info.FParentDisplayName = key.ReadString(L"ParentDisplayName").value_or(L"");
    if (info.FReleaseType == TReleaseType::rtNone &&
        (!info.FParentKeyName.empty() || !info.FParentDisplayName.empty()))
        info.FReleaseType = TReleaseType::rtUpdate;
    info.AddKey(registryKey, key.Snapshot());
}

TTemporaryInfo* TLocationRegistryUninstall::AddFilled(TProductList& list, TTemporaryInfo known,
                                                      const TRegKey& key, const std::wstring& keyName,
                                                      const TRegistryKey& registryKey) {
    TTemporaryInfo* record = list.Add(std::make_unique<TTemporaryInfo>(std::move(known)));
    list.Map(record->FGUID, record);
    FillInfo(key, *record, keyName, registryKey);
    return record;
}

std::vector<std::wstring> TLocationRegistryUninstall::ReadUninstallEntries(TPlace place) {
    std::vector<std::wstring> systemComponents;
    TRegKey uninstall = OpenPlace(place.Key(UninstallPath));
    for (const auto& name : SubKeyNames(uninstall)) {
        std::wstring path = std::wstring(UninstallPath) + L"\\" + name;
        TRegKey key = uninstall.OpenSubKey(name);
        if (!key)
            continue;
        CheckTerminated();
        if (IsKeyEmpty(key))
            continue;
        if (IsSystemComponent(key)) {
            systemComponents.push_back(name);
            continue;
        }
        auto info = std::make_unique<TTemporaryInfo>();
        FillInfo(key, *info, name, place.Key(path));
        if (info->FDisplayName.empty() && info->FGUID.empty())
            continue;
        // The first root and view that lists a product wins; the later key is dropped.
        if (FProgramList.Find(info->FGUID, info->FDisplayName))
            continue;
        if (info->FReleaseType != TReleaseType::rtNone) {
            TTemporaryInfo* update = FUpdateList.Add(std::move(info));
            FUpdateList.Map(update->FGUID, update);
            continue;
        }
        TTemporaryInfo* program = FProgramList.Add(std::move(info));
        FProgramList.Map(program->FGUID, program);
        if (auto codes = key.ReadMultiString(L"ProductCodes")) {
            for (const auto& code : *codes)
                FProgramList.Map(DecodeGUID(code), program);
        }
    }
    return systemComponents;
}

void TLocationRegistryUninstall::ReadSystemComponents(TPlace place, const std::vector<std::wstring>& names) {
    TRegKey uninstall = OpenPlace(place.Key(UninstallPath));
    for (const auto& name : names) {
        std::wstring path = std::wstring(UninstallPath) + L"\\" + name;
        TRegKey key = uninstall.OpenSubKey(name);
        if (!key)
            continue;
        CheckTerminated();
        if (IsKeyEmpty(key) || !IsSystemComponent(key))
            continue;
        std::wstring guid = ReadGUID(key, name);
        std::wstring displayName = ReadDisplayName(key);
        if (TTemporaryInfo* program = FProgramList.Find(guid, displayName)) {
            program->AddKey(place.Key(path), key.Snapshot());
            if (!guid.empty() && program->FGUID.empty()) {
                program->FGUID = guid;
                FProgramList.Map(guid, program);
            }
        } else if (!guid.empty()) {
            FGUIDSystemList.insert(guid);
        }
    }
}

void TLocationRegistryUninstall::ReadInstallerProducts(TPlace place) {
    std::wstring sid = UserSID();
    const std::wstring managed =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed\\%s\\Installer\\Products";
    const std::wstring userData =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\%s\\Products";
    ReadInstallerProductList(place, Format(managed, sid));
    ReadInstallerProductList(place, Format(managed, LocalSystemSID));
    ReadInstallerProductList(place, L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Products");
    ReadInstallerProductList(place, Format(userData, sid));
    ReadInstallerProductList(place, Format(userData, LocalSystemSID));
    ReadInstallerProductList(place, L"Software\\Microsoft\\Installer\\Products");
}

void TLocationRegistryUninstall::ReadInstallerProductList(TPlace place, const std::wstring& path) {
    TRegKey products = OpenPlace(place.Key(path), InstallerDescend);
    for (const auto& name : SubKeyNames(products)) {
        CheckTerminated();
        std::wstring code = DecodeGUID(name);
        if (code.empty())
            continue;
        std::wstring productKey = path + L"\\" + name + L"\\";
        TRegKey product = products.OpenSubKey(name);
        if (!product)
            continue;
        TRegKey properties = product.OpenSubKey(InstallPropertiesKey);
        const TRegKey& infoReg = properties ? properties : product;
        std::wstring infoKey = properties ? productKey + L"InstallProperties\\" : productKey;
        std::wstring displayName = ReadDisplayName(infoReg);
        bool systemComponent = IsSystemComponent(infoReg);

        TTemporaryInfo* record = FProgramList.Find(code, displayName);
        if (!record && !systemComponent && !FGUIDSystemList.contains(code))
            record = AddFilled(FProgramList, {.FGUID = code, .FDisplayName = displayName}, infoReg, name,
                               place.Key(infoKey));
        if (!record)
            continue;
        record->AddKey(place.Key(productKey), product.Snapshot());
        if (record->FGUID.empty()) {
            record->FGUID = code;
            FProgramList.Map(code, record);
        }
        ReadInstallerPatches(place, *record, productKey, product);
    }
}

void TLocationRegistryUninstall::ReadInstallerPatches(TPlace place, TTemporaryInfo& product,
                                                      const std::wstring& productKey,
                                                      const TRegKey& productReg) {
    std::wstring patchesPath = productKey + PatchesKey + L"\\";
    TRegKey patches = productReg.OpenSubKey(PatchesKey);
    for (const auto& name : SubKeyNames(patches)) {
        CheckTerminated();
        std::wstring patchCode = DecodeGUID(name);
        if (patchCode.empty())
            continue;
        std::wstring patchKey = patchesPath + name + L"\\";
        TRegKey key = patches.OpenSubKey(name);
        if (!key)
            continue;
        std::wstring displayName = ReadDisplayName(key);
        bool applied = IsPatchApplied(key);

        TTemporaryInfo* record = FUpdateList.Find(patchCode, displayName);
        if (!record)
            record = FUpdateList.Find(patchCode, product.FGUID + L"." + displayName);
        if (!record)
            record = FUpdateList.Find(patchCode, product.FInternalName + L"." + displayName);
        if (!record && applied)
            record = AddFilled(FUpdateList,
                               {.FGUID = patchCode,
                                .FDisplayName = displayName,
                                .FParentKeyName = product.FInternalName,
                                .FParentDisplayName = product.FDisplayName},
                               key, name, place.Key(patchKey));
        if (!record)
            continue;
        record->AddKey(place.Key(patchKey), key.Snapshot());
        if (record->FGUID.empty()) {
            record->FGUID = patchCode;
            FUpdateList.Map(patchCode, record);
        }
    }
}

void TLocationRegistryUninstall::ReadClassesProducts() {
    if (Is64BitWindows()) {
        ReadInstallerProductList({TRegRoot::ClassesRoot, TRegView::x64}, ClassesProductsPath);
        CheckTerminated();
    }
    ReadInstallerProductList({TRegRoot::ClassesRoot, TRegView::x32}, ClassesProductsPath);
}

void TLocationRegistryUninstall::ReadUpdateKeys(TPlace place, const std::wstring& path, const TRegKey& key) {
    if (!key)
        return;
    TTemporaryInfo* record = nullptr;
    if (auto link = key.ReadString(L"ARPLink"))
        record = FindByARPLink(FProgramList, FUpdateList, *link);
    else
        record = FindByKBNumber(FProgramList, FUpdateList, path);
    if (record)
        record->AddKey(place.Key(path), key.Snapshot());
    for (const auto& name : SubKeyNames(key)) {
        CheckTerminated();
        ReadUpdateKeys(place, path + L"\\" + name, key.OpenSubKey(name));
    }
}

void TLocationRegistryUninstall::ScanPrograms() {
    auto places = ReadPlaces();
    for (const auto& place : places) {
        ReadSystemComponents(place, ReadUninstallEntries(place));
        if (place.Root == TRegRoot::CurrentUser)
            CheckTerminated();
    }
    for (const auto& place : places) {
        ReadInstallerProducts(place);
        if (place.Root == TRegRoot::CurrentUser)
            CheckTerminated();
    }
    ReadClassesProducts();
    MergeUpdates(FProgramList, FUpdateList);
    PublishPrograms();
    CheckTerminated();
}

void TLocationRegistryUninstall::ScanUpdateKeys() {
    CheckTerminated();
    for (TRegView view : Views()) {
        for (const wchar_t* path : {HotFixPath, UpdatesPath}) {
            for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser}) {
                const TPlace place{root, view};
                ReadUpdateKeys(place, path, OpenPlace(place.Key(path)));
            }
        }
        CheckTerminated();
    }
}

// ---- publishing

void TLocationRegistryUninstall::PublishPrograms() {
    TItemProgram::MarkAllFrom(this);
    for (size_t index = 0; index < FProgramList.Count(); ++index) {
        CheckTerminated();
        const TTemporaryInfo& info = FProgramList[index];
        if (info.FDisplayName.empty())
            continue;
        if (auto item = TItemProgram::ItemByGUIDName(info.FGUID, info.FDisplayName, this)) {
            item->ReadAgainIfChanged(info);
            item->SetNeedReadSlowInfo();
            item->SetMarked(false);
            continue;
        }
        auto item = std::make_shared<TItemRegistryProgram>(this, info);
        LogAdded(L"Add Program: %s (%s)", info);
        item->ReadFastInfo();
        std::lock_guard lock(TItemProgram::Items().Lock());
        TItemProgram::Items().Add(std::move(item));
    }
    CheckTerminated();
    TItemProgram::RemoveMarked(this);
}

void TLocationRegistryUninstall::PublishUpdates() {
    TItemUpdate::MarkAllItems(this);
    for (size_t index = 0; index < FUpdateList.Count(); ++index) {
        CheckTerminated();
        const TTemporaryInfo& info = FUpdateList[index];
        auto item = TItemUpdate::ItemByGUIDName(info.FGUID, info.FDisplayName, this);
        if (!item)
            item = TItemUpdate::ItemByKBIdent(info.FDisplayName, this);
        if (item) {
            item->ReadAgainIfChanged(info);
            item->SetNeedReadSlowInfo();
            item->SetMarked(false);
            continue;
        }
        auto update = std::make_shared<TItemUpdate>(this, info);
        LogAdded(L"Add Registry Update: %s (%s)", info);
        update->ReadFastInfo();
        std::lock_guard lock(TItemUpdate::Items().Lock());
        TItemUpdate::Items().Add(std::move(update));
    }
    CheckTerminated();
    TItemUpdate::CheckDeleteMarked(this);
}

// ---- the operations of the location

std::unique_lock<std::recursive_timed_mutex> TLocationRegistryUninstall::LockReads() {
    std::unique_lock lock(FReadLock, std::defer_lock);
    while (!lock.try_lock_for(std::chrono::milliseconds(50)))
        CheckTerminated();
    return lock;
}

void TLocationRegistryUninstall::ReadPrograms() {
    auto lock = LockReads();
    TReadWalk walk;
    // The update records found so far wait for ReadUpdates.
    TClearLists clear{{&FProgramList}};
    Guarded([&] { ScanPrograms(); });
}

void TLocationRegistryUninstall::ReadUpdates() {
    auto lock = LockReads();
    TReadWalk walk;
    TClearLists clear{{&FUpdateList}};
    Guarded([&] {
        ScanUpdateKeys();
        CheckTerminated();
        MergeUpdates(FProgramList, FUpdateList);
        CheckTerminated();
        PublishUpdates();
    });
}

void TLocationRegistryUninstall::Read() {
    auto lock = LockReads();
    TReadWalk walk;
    TClearLists clear{{&FProgramList, &FUpdateList}};
    Guarded([&] {
        ScanPrograms();
        // The program records are still there, so update keys can claim them.
        ScanUpdateKeys();
        CheckTerminated();
        MergeUpdates(FProgramList, FUpdateList);
        CheckTerminated();
        PublishUpdates();
    });
}

// ---- change detection

void TLocationRegistryUninstall::CloseWatches() {
    FWaitRegHandle.clear();
}

void TLocationRegistryUninstall::WatchKeys() {
    CloseWatches();
    ResetEvent(FWaitEvent.get());

    const wchar_t* const perRootFirst[] = {
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Products",
    };
    const wchar_t* const perRootThen[] = {
        L"Software\\Microsoft\\Installer\\Products",
        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\HotFix",
        L"Software\\Microsoft\\Updates",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\Managed",
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData",
    };
    // Before Windows 8 a notification ends (signalling the event) with the
    // thread that armed it, and the reading threads come and go; from Windows 8
    // on it can outlive its thread, which spares that extra re-read.
    DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    if (IsWindows8OrLater())
        filter |= REG_NOTIFY_THREAD_AGNOSTIC;
    auto watch = [&](HKEY root, const wchar_t* path, REGSAM view) {
        TRegKey key = TRegKey::Open(root, path, KEY_READ | view);
        if (key && key.NotifyChange(FWaitEvent.get(), true, filter))
            FWaitRegHandle.push_back(std::move(key));
    };
    auto watchAll = [&](REGSAM view) {
        for (const wchar_t* path : perRootFirst) {
            watch(HKEY_CURRENT_USER, path, view);
            watch(HKEY_LOCAL_MACHINE, path, view);
        }
        watch(HKEY_CLASSES_ROOT, ClassesProductsPath, view);
        for (const wchar_t* path : perRootThen) {
            watch(HKEY_CURRENT_USER, path, view);
            watch(HKEY_LOCAL_MACHINE, path, view);
        }
    };
    // The first set is what a 32-bit process sees without a view flag; the x64
    // build names that view, so both builds watch what they read.
    watchAll(KEY_WOW64_32KEY);
    if (Is64BitWindows())
        watchAll(KEY_WOW64_64KEY);
}

bool TLocationRegistryUninstall::IsChanged() {
    if (WaitForSingleObject(FWaitEvent.get(), 0) != WAIT_OBJECT_0)
        return false;
    WatchKeys();
    TThread::SleepAndCheck(ChangeSettleMs);
    return true;
}

} // namespace velmora
