#include "locations/LocationVistaUpdate.h"

#include "console/PackageManagement.h"
#include "frame/DebugLog.h"
#include "frame/Globals.h"
#include "inventory/ProductKeyTime.h"
#include "locations/ProductList.h"
#include "locations/ServicingPackageRules.h"
#include "platform/ComObject.h"
#include "platform/Files.h"
#include "platform/OSError.h"
#include "platform/OSInfo.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/RegistryKeyText.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <oleauto.h>
#include <windows.h>

#include <chrono>
#include <map>
#include <set>

namespace velmora {

namespace {

constexpr wchar_t PackagesKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\Packages\\";

// The servicing registry is read in the native view.
TRegView ServicingView() {
    return Is64BitWindows() ? TRegView::x64 : TRegView::Default;
}

std::wstring ServicingFolder() {
    return IncludeTrailingBackslash(WindowsFolder()) + L"Servicing\\Packages\\";
}

struct TShortPackageInfo {
    std::wstring PackageName;
    bool CanUninstall = false;
    std::wstring PackCode;
};

// A package as collected, before it is published.
struct TPackageRecord {
    TShortPackageInfo FPackageInfo;
    std::vector<std::wstring> FFileNames;
    std::vector<TRegistryKey> FRegistryKeys;
};

std::optional<std::wstring> AttributeOf(const TXmlElement& element, const std::wstring& name) {
    return element ? element.Attribute(name) : std::nullopt;
}

// The manifest's "assembly" element; empty when the file cannot be read.
TXmlElement LoadAssembly(const std::wstring& path) {
    TXmlElement root = TXmlDocument::LoadElement(path);
    return root && root.Name() == L"assembly" ? root : TXmlElement();
}

// Nothing when the servicing registry does not record the package as
// installed; otherwise whether its state lets it be uninstalled.
std::optional<bool> ReadPackageState(const std::wstring& packCode) {
    const std::wstring base = PackagesKeyPath + packCode + L"\\";
    uint32_t ownerState = UnownedPackageState;
    if (TRegKey owners = TRegKey::Open(HKEY_LOCAL_MACHINE, base + L"Owners\\", KEY_READ, ServicingView())) {
        std::optional<DWORD> own = owners.ReadNumber(packCode);
        if (!own)
            return std::nullopt;
        ownerState = *own;
    }
    TRegKey package = TRegKey::Open(HKEY_LOCAL_MACHINE, base, KEY_READ, ServicingView());
    std::optional<DWORD> state = package ? package.ReadNumber(L"CurrentState") : std::nullopt;
    if (!state)
        return std::nullopt;
    return InstalledPackageUninstallable(*state, ownerState);
}

using TManifests = std::map<std::wstring, TShortPackageInfo>;
using TNames = std::set<std::wstring, TTextLess>;

// Adds an installed package's manifest, and the names of the packages its
// updates contain (listed only through it), to excluded.
void ReadPackageManifest(const std::wstring& path, TManifests& manifests, TNames& excluded) {
    TShortPackageInfo info;
    std::wstring name = ExtractFileName(path);
    info.PackCode = name.substr(0, name.rfind(L'.'));
    std::optional<bool> uninstallable = ReadPackageState(info.PackCode);
    if (!uninstallable)
        return;
    TXmlElement assembly = LoadAssembly(path);
    std::optional<std::wstring> packageName = AttributeOf(assembly.Child(L"assemblyIdentity"), L"name");
    if (!packageName)
        return;
    info.PackageName = *packageName;
    TXmlElement package = assembly.Child(L"package");
    std::optional<std::wstring> releaseType = AttributeOf(package, L"releaseType");
    if (!AttributeOf(package, L"identifier") || !releaseType ||
        DLLGlobals::DecodeReleaseType(*releaseType) == TReleaseType::rtNone)
        return;
    info.CanUninstall =
        *uninstallable && !IsPermanentPackage(AttributeOf(package, L"permanence").value_or(L""));
    manifests[path] = info;
    for (const TXmlElement& child : package.Children()) {
        if (!SameText(child.Name(), L"update"))
            continue;
        if (auto inner = AttributeOf(child.Child(L"package").Child(L"assemblyIdentity"), L"name"))
            excluded.insert(*inner);
    }
}

std::vector<TPackageRecord> CollectPackages() {
    const std::wstring folder = ServicingFolder();
    TManifests manifests;
    TNames excluded;
    for (const TFindData& file : FindFiles(folder + L"*.mum")) {
        TLocationUninstall::CheckTerminated();
        const std::wstring path = folder + std::wstring(file.Name());
        try {
            ReadPackageManifest(path, manifests, excluded);
        } catch (const std::exception&) {
            // A manifest that cannot be read is not listed.
        }
    }
    std::vector<TPackageRecord> records;
    for (const auto& [path, info] : manifests) {
        if (excluded.contains(info.PackageName))
            continue;
        TLocationUninstall::CheckTerminated();
        records.push_back(
            {info,
             {path},
             {{ServicingView(), TRegRoot::LocalMachine, PackagesKeyPath + info.PackCode + L"\\"}}});
    }
    return records;
}

void LogAdded(const TPackageRecord& record) {
    TLogGroup group(StatisticsLog::Instance());
    StatisticsLog::Add(L"");
    StatisticsLog::Add(L"Add Vista Update: %s", record.FPackageInfo.PackCode);
    for (const auto& file : record.FFileNames)
        StatisticsLog::Add(std::wstring_view(file));
    for (const auto& key : record.FRegistryKeys)
        StatisticsLog::Add(std::wstring_view(key.Text()));
}

void PublishPackages(TLocationUninstall* location, const std::vector<TPackageRecord>& records) {
    TItemUpdate::MarkAllItems(location);
    TLocationUninstall::CheckTerminated();
    const bool allowUninstall = !IsWindowsPE();
    for (const TPackageRecord& record : records) {
        TLocationUninstall::CheckTerminated();
        const TShortPackageInfo& package = record.FPackageInfo;
        if (auto item = TItemUpdate::ItemByCode(package.PackCode, location)) {
            item->SetMarked(false);
            continue;
        }
        TTemporaryInfo info;
        info.FPackageCode = package.PackCode;
        info.FRegistryKeys = record.FRegistryKeys;
        auto item = std::make_shared<TItemVistaUpdate>(location, info, record.FFileNames,
                                                       allowUninstall && package.CanUninstall);
        LogAdded(record);
        item->ReadFastInfo();
        std::lock_guard lock(TItemUpdate::Items().Lock());
        TItemUpdate::Items().Add(std::move(item));
    }
    TItemUpdate::CheckDeleteMarked(location);
}

// A package's install time as a local date; nothing (the system's error
// set) when it is no valid time.
std::optional<double> PackageInstallDate(DWORD low, DWORD high) {
    const FILETIME utc{low, high};
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local))
        local = utc;
    SYSTEMTIME time;
    double date = 0;
    if (!FileTimeToSystemTime(&local, &time) || !SystemTimeToVariantTime(&time, &date))
        return std::nullopt;
    return date;
}

} // namespace

// ---- the item

TItemVistaUpdate::TItemVistaUpdate(TTypeUninstallLocation* location, const TTemporaryInfo& info,
                                   std::vector<std::wstring> fileNames, bool uninstallable)
    : TItemUpdate(location, info), FUninstallable(uninstallable) {
    FFileNames = std::move(fileNames);
}

std::wstring TItemVistaUpdate::GetActionCommand(TPossibleActions) {
    return PackageManagement::GetCommand(TPackageCommand::cmdUninstallUpdate, FPackageCode);
}

void TItemVistaUpdate::ReadDetails() {
    ReadManifest();
    ReadPackageKeys();
    if (FUninstallable)
        AddPossibleAction(TPossibleActions::paUninstall);
}

void TItemVistaUpdate::ReadManifest() {
    TComApartmentGuard apartment;
    TXmlElement assembly = LoadAssembly(ServicingFolder() + FPackageCode + L".mum");
    if (!assembly)
        return;
    auto take = [](std::wstring& field, std::optional<std::wstring> value) {
        if (value)
            field = std::move(*value);
    };
    take(FDisplayName, assembly.Attribute(L"displayName"));
    take(FComments, assembly.Attribute(L"description"));
    take(FPublisher, assembly.Attribute(L"company"));
    take(FURLHelpLink, assembly.Attribute(L"supportInformation"));
    TXmlElement package = assembly.Child(L"package");
    if (auto identifier = AttributeOf(package, L"identifier")) {
        FReleaseType = DLLGlobals::DecodeReleaseType(package.Attribute(L"releaseType").value_or(L""));
        FKBID = *identifier;
    }
    if (TXmlElement identity = assembly.Child(L"assemblyIdentity")) {
        take(FUpdateID, identity.Attribute(L"name"));
        take(FDisplayVersion, identity.Attribute(L"version"));
        if (auto language = identity.Attribute(L"language"))
            FLanguage = DLLGlobals::LocaleIDToString(std::wstring_view(*language));
    }
}

// Each key's write date is kept for the install date a package without an
// install time gets (RefineInstallDate).
void TItemVistaUpdate::ReadPackageKeys() {
    FRegistryKeyDates.clear();
    for (const TRegistryKey& key : FRegistryKeys) {
        TRegKey reg = TRegKey::Open(key, KEY_READ);
        if (!reg) {
            FRegistryKeyDates.push_back(std::nullopt);
            continue;
        }
        std::optional<FILETIME> keyTime = ProductKeyTime(reg);
        FRegistryKeyDates.push_back(keyTime ? FileTimeToLocalDate(*keyTime) : std::nullopt);
        if (auto location = reg.ReadText(L"InstallLocation"))
            FInstallLocation = *location;
        auto high = reg.ReadNumber(L"InstallTimeHigh"), low = reg.ReadNumber(L"InstallTimeLow");
        if (!high || !low)
            continue;
        if (auto date = PackageInstallDate(*low, *high))
            FInstallDate = *date;
        else
            DebugLog().WriteLogF(TLogLevel::llError, L"Invalid package time Low = %d, High= %d %s", *low,
                                 *high, SystemErrorMessage(GetLastError()));
    }
}

// ---- the location

TLocationVistaUpdate::TLocationVistaUpdate() {
    FRegWaitEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!FRegWaitEvent)
        throw EOSError(L"CreateEvent", GetLastError());
    WatchFolder();
    WatchRegistry();
}

// The key goes first: its notification must not outlive the event.
TLocationVistaUpdate::~TLocationVistaUpdate() {
    FRegWaitKey = TRegKey();
}

std::unique_lock<std::recursive_timed_mutex> TLocationVistaUpdate::LockReads() {
    std::unique_lock lock(FReadLock, std::defer_lock);
    while (!lock.try_lock_for(std::chrono::milliseconds(50)))
        CheckTerminated();
    return lock;
}

void TLocationVistaUpdate::Read() {
    if (!IsWindowsVistaOrLater())
        return;
    auto lock = LockReads();
    TComApartmentGuard apartment;
    PublishPackages(this, CollectPackages());
}

void TLocationVistaUpdate::ReadUpdates() {
    Read();
}

void TLocationVistaUpdate::WatchFolder() {
    if (!FWaitHandle)
        FWaitHandle = FolderChangeNotification(ServicingFolder(), true,
                                               FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                                   FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SIZE |
                                                   FILE_NOTIFY_CHANGE_LAST_WRITE);
    else
        NextFolderChange(FWaitHandle.get());
}

// Only after the event fired: the key is kept and armed again, since closing
// a key whose notification is pending signals the event. The notification
// outlives the thread that armed it (the owner's or the reading thread).
void TLocationVistaUpdate::WatchRegistry() {
    ResetEvent(FRegWaitEvent.get());
    if (FRegWaitKey && FRegWaitKey.NotifyChangeAnyThread(FRegWaitEvent.get()))
        return;
    FRegWaitKey = TRegKey();
    TRegKey key = TRegKey::Open(HKEY_LOCAL_MACHINE, PackagesKeyPath, KEY_READ, ServicingView());
    if (key && key.NotifyChangeAnyThread(FRegWaitEvent.get()))
        FRegWaitKey = std::move(key);
}

bool TLocationVistaUpdate::IsChanged() {
    auto signalled = [](HANDLE handle) { return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; };
    const bool folderChanged = signalled(FWaitHandle.get());
    const bool keyChanged = signalled(FRegWaitEvent.get());
    if (!folderChanged && !keyChanged)
        return false;
    // A watch that could not be set up is tried again with the other's change.
    if (folderChanged || !FWaitHandle)
        WatchFolder();
    if (keyChanged || !FRegWaitKey)
        WatchRegistry();
    return true;
}

} // namespace velmora
