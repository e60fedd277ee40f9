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
#include "platform/Thread.h"
#include "platform/XmlDocument.h"

#include <oleauto.h>
#include <windows.h>

#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <system_error>
#include <thread>

namespace velmora {

namespace {

constexpr wchar_t PackagesKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\Packages\\";

// The servicing registry is read in the native view.
TRegView ServicingView() {
    return Is64BitWindows() ? TRegView::x64 : TRegView::Default;
}

// Spelt as the system names the folder: where the file system tells case
// apart, a name spelt otherwise is found only by a search of its parent, on
// every open of a manifest.
std::wstring ServicingFolder() {
    return IncludeTrailingBackslash(WindowsFolder()) + L"servicing\\Packages\\";
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
    std::shared_ptr<const TServicingManifest> FManifest;
    std::optional<TPackageKeyValues> FKeyValues;
};

std::optional<std::wstring> AttributeOf(const TXmlElement& element, const std::wstring& name) {
    return element ? element.Attribute(name) : std::nullopt;
}

// The manifest as the system's parser reads it, for a text the scanner
// leaves (another encoding); nothing when the file cannot be read.
std::optional<TServicingManifest> LoadManifestDocument(const std::wstring& path) {
    TComApartmentGuard apartment;
    TXmlElement assembly = TXmlDocument::LoadElement(path);
    if (!assembly || assembly.Name() != L"assembly")
        return std::nullopt;
    TServicingManifest manifest;
    manifest.DisplayName = assembly.Attribute(L"displayName");
    manifest.Description = assembly.Attribute(L"description");
    manifest.Company = assembly.Attribute(L"company");
    manifest.SupportInformation = assembly.Attribute(L"supportInformation");
    TXmlElement identity = assembly.Child(L"assemblyIdentity");
    manifest.Name = AttributeOf(identity, L"name");
    manifest.Version = AttributeOf(identity, L"version");
    manifest.Language = AttributeOf(identity, L"language");
    TXmlElement package = assembly.Child(L"package");
    manifest.Identifier = AttributeOf(package, L"identifier");
    manifest.ReleaseType = AttributeOf(package, L"releaseType");
    manifest.Permanence = AttributeOf(package, L"permanence");
    for (const TXmlElement& child : package ? package.Children() : std::vector<TXmlElement>()) {
        if (!SameText(child.Name(), L"update"))
            continue;
        if (auto inner = AttributeOf(child.Child(L"package").Child(L"assemblyIdentity"), L"name"))
            manifest.ContainedPackages.push_back(std::move(*inner));
    }
    return manifest;
}

// The manifest of a package; nothing when the file cannot be read.
std::optional<TServicingManifest> LoadManifest(const std::wstring& path) {
    std::optional<std::vector<uint8_t>> bytes = ReadFileBytes(path);
    if (!bytes)
        return std::nullopt;
    auto manifest =
        ParseServicingManifest(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    return manifest ? manifest : LoadManifestDocument(path);
}

// The values of a package's key that its item shows; the key's write time
// only stands in for a missing install time.
TPackageKeyValues ReadPackageKeyValues(const TRegKey& key) {
    TPackageKeyValues values{std::nullopt, key.ReadText(L"InstallLocation"),
                             key.ReadNumber(L"InstallTimeHigh"), key.ReadNumber(L"InstallTimeLow")};
    if (!values.InstallTimeHigh || !values.InstallTimeLow)
        values.KeyTime = ProductKeyTime(key);
    return values;
}

struct TPackageState {
    bool Uninstallable = false;
    TPackageKeyValues Values;
};

// Nothing when the servicing registry does not record the package as
// installed; otherwise whether its state lets it be uninstalled, and what
// its key tells the item.
std::optional<TPackageState> ReadPackageState(const TRegKey& packages, const std::wstring& packCode) {
    TRegKey package = packages ? packages.OpenSubKey(packCode) : TRegKey();
    std::optional<DWORD> state = package ? package.ReadNumber(L"CurrentState") : std::nullopt;
    if (!state)
        return std::nullopt;
    uint32_t ownerState = UnownedPackageState;
    if (TRegKey owners = package.OpenSubKey(L"Owners")) {
        std::optional<DWORD> own = owners.ReadNumber(packCode);
        if (!own)
            return std::nullopt;
        ownerState = *own;
    }
    std::optional<bool> uninstallable = InstalledPackageUninstallable(*state, ownerState);
    if (!uninstallable)
        return std::nullopt;
    return TPackageState{*uninstallable, ReadPackageKeyValues(package)};
}

struct TCollected {
    TShortPackageInfo Info;
    std::shared_ptr<const TServicingManifest> Manifest;
    TPackageKeyValues KeyValues;
};
using TManifests = std::map<std::wstring, TCollected>;
using TNames = std::set<std::wstring, TTextLess>;

// Adds an installed package's manifest, and the names of the packages its
// updates contain (listed only through it), to excluded.
void ReadPackageManifest(const TRegKey& packages, const std::wstring& path, TManifests& manifests,
                         TNames& excluded) {
    TShortPackageInfo info;
    std::wstring name = ExtractFileName(path);
    info.PackCode = name.substr(0, name.rfind(L'.'));
    std::optional<TPackageState> state = ReadPackageState(packages, info.PackCode);
    if (!state)
        return;
    std::optional<TServicingManifest> manifest = LoadManifest(path);
    if (!manifest || !manifest->Name)
        return;
    info.PackageName = *manifest->Name;
    if (!manifest->Identifier || !manifest->ReleaseType ||
        DLLGlobals::DecodeReleaseType(*manifest->ReleaseType) == TReleaseType::rtNone)
        return;
    info.CanUninstall = state->Uninstallable && !IsPermanentPackage(manifest->Permanence.value_or(L""));
    excluded.insert(manifest->ContainedPackages.begin(), manifest->ContainedPackages.end());
    manifests[path] = {info, std::make_shared<const TServicingManifest>(std::move(*manifest)), state->Values};
}

// The installed packages among the manifests named.
struct TCollection {
    TManifests Manifests;
    TNames Excluded;
};

void CollectManifests(const TRegKey& packages, const std::wstring& folder,
                      std::span<const std::wstring> names, const TThread* reader, TCollection& into) {
    for (const std::wstring& name : names) {
        if (reader && reader->Terminated())
            return;
        try {
            ReadPackageManifest(packages, folder + name, into.Manifests, into.Excluded);
        } catch (const std::exception&) {
            // A manifest that cannot be read is not listed.
        }
    }
}

std::vector<TPackageRecord> CollectPackages() {
    const std::wstring folder = ServicingFolder();
    // The package keys are opened below their parent, opened once.
    const TRegKey packages = TRegKey::Open(HKEY_LOCAL_MACHINE, PackagesKeyPath, KEY_READ, ServicingView());
    std::vector<std::wstring> names;
    for (const TFindData& file : FindFiles(folder + L"*.mum"))
        names.emplace_back(file.Name());
    // A package costs registry requests and a file read, which a second
    // thread overlaps: it reads the second half of the names.
    const std::span<const std::wstring> all(names);
    const size_t half = names.size() / 2;
    const TThread* reader = TThread::Current();
    TCollection first, second;
    std::exception_ptr helperFailure; // raised here, once both halves are done
    {
        std::jthread helper;
        try {
            helper = std::jthread([&] {
                try {
                    TComApartmentGuard apartment;
                    CollectManifests(packages, folder, all.subspan(half), reader, second);
                } catch (...) {
                    helperFailure = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            CollectManifests(packages, folder, all.subspan(half), reader, second);
        }
        CollectManifests(packages, folder, all.first(half), reader, first);
    }
    if (helperFailure)
        std::rethrow_exception(helperFailure);
    TLocationUninstall::CheckTerminated();
    TManifests& manifests = first.Manifests;
    TNames& excluded = first.Excluded;
    manifests.merge(second.Manifests);
    excluded.merge(second.Excluded);
    std::vector<TPackageRecord> records;
    for (const auto& [path, collected] : manifests) {
        const TShortPackageInfo& info = collected.Info;
        if (excluded.contains(info.PackageName))
            continue;
        TLocationUninstall::CheckTerminated();
        records.push_back(
            {info,
             {path},
             {{ServicingView(), TRegRoot::LocalMachine, PackagesKeyPath + info.PackCode + L"\\"}},
             collected.Manifest,
             collected.KeyValues});
    }
    return records;
}

// The packages a read added, logged as one group when it ends (a stop
// request included): the file is written once, not once per package. Not
// under the items' lock, which is taken inside the log's elsewhere.
class TAddedLog {
public:
    TAddedLog() = default;
    TAddedLog(const TAddedLog&) = delete;
    TAddedLog& operator=(const TAddedLog&) = delete;
    ~TAddedLog() {
        if (FRecords.empty())
            return;
        try {
            TLogGroup group(StatisticsLog::Instance());
            for (const TPackageRecord* record : FRecords) {
                StatisticsLog::Add(L"");
                StatisticsLog::Add(L"Add Vista Update: %s", record->FPackageInfo.PackCode);
                for (const auto& file : record->FFileNames)
                    StatisticsLog::Add(std::wstring_view(file));
                for (const auto& key : record->FRegistryKeys)
                    StatisticsLog::Add(std::wstring_view(key.Text()));
            }
        } catch (...) {
            // Out of memory while formatting: the lines are lost.
        }
    }
    void Add(const TPackageRecord& record) { FRecords.push_back(&record); }

private:
    std::vector<const TPackageRecord*> FRecords;
};

void PublishPackages(TLocationUninstall* location, const std::vector<TPackageRecord>& records) {
    TItemUpdate::MarkAllItems(location);
    TLocationUninstall::CheckTerminated();
    const bool allowUninstall = !IsWindowsPE();
    // The packages listed already, looked up once each.
    auto listed = TItemUpdate::ItemsByCode(location);
    // The additions are logged before the removals, as they are made.
    {
        TAddedLog added;
        for (const TPackageRecord& record : records) {
            TLocationUninstall::CheckTerminated();
            const TShortPackageInfo& package = record.FPackageInfo;
            if (auto found = listed.find(UpperCase(package.PackCode)); found != listed.end()) {
                found->second->SetMarked(false);
                continue;
            }
            TTemporaryInfo info;
            info.FPackageCode = package.PackCode;
            info.FRegistryKeys = record.FRegistryKeys;
            auto item = std::make_shared<TItemVistaUpdate>(location, info, record.FFileNames,
                                                           allowUninstall && package.CanUninstall,
                                                           record.FManifest, record.FKeyValues);
            added.Add(record);
            item->ReadFastInfo();
            std::lock_guard lock(TItemUpdate::Items().Lock());
            TItemUpdate::Items().Add(std::move(item));
        }
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
                                   std::vector<std::wstring> fileNames, bool uninstallable,
                                   std::shared_ptr<const TServicingManifest> manifest,
                                   std::optional<TPackageKeyValues> keyValues)
    : TItemUpdate(location, info), FUninstallable(uninstallable), FManifest(std::move(manifest)),
      FKeyValues(std::move(keyValues)) {
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
    // The read's copy serves the first reading; a later one reads the file.
    std::shared_ptr<const TServicingManifest> manifest = std::exchange(FManifest, nullptr);
    if (!manifest) {
        auto loaded = LoadManifest(ServicingFolder() + FPackageCode + L".mum");
        if (!loaded)
            return;
        manifest = std::make_shared<const TServicingManifest>(std::move(*loaded));
    }
    auto take = [](std::wstring& field, const std::optional<std::wstring>& value) {
        if (value)
            field = *value;
    };
    take(FDisplayName, manifest->DisplayName);
    take(FComments, manifest->Description);
    take(FPublisher, manifest->Company);
    take(FURLHelpLink, manifest->SupportInformation);
    if (manifest->Identifier) {
        FReleaseType = DLLGlobals::DecodeReleaseType(manifest->ReleaseType.value_or(L""));
        FKBID = *manifest->Identifier;
    }
    take(FUpdateID, manifest->Name);
    take(FDisplayVersion, manifest->Version);
    if (manifest->Language)
        FLanguage = DLLGlobals::LocaleIDToString(std::wstring_view(*manifest->Language));
}

// Each key's write date is kept for the install date a package without an
// install time gets (RefineInstallDate). The read's values of the package
// key serve the first reading.
void TItemVistaUpdate::ReadPackageKeys() {
    FRegistryKeyDates.clear();
    std::optional<TPackageKeyValues> first = std::exchange(FKeyValues, std::nullopt);
    for (const TRegistryKey& key : FRegistryKeys) {
        TPackageKeyValues values;
        if (first) {
            values = std::move(*first);
            first.reset();
        } else if (TRegKey reg = TRegKey::Open(key, KEY_READ)) {
            values = ReadPackageKeyValues(reg);
        } else {
            FRegistryKeyDates.push_back(std::nullopt);
            continue;
        }
        FRegistryKeyDates.push_back(values.KeyTime ? FileTimeToLocalDate(*values.KeyTime) : std::nullopt);
        if (values.InstallLocation)
            FInstallLocation = *values.InstallLocation;
        const auto high = values.InstallTimeHigh, low = values.InstallTimeLow;
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
