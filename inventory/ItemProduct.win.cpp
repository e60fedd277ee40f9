// Reading an item from its uninstall keys, watching its install folder and
// loading its icon.
#include "inventory/ItemProduct.h"

#include "frame/Globals.h"
#include "inventory/ActionThread.h"
#include "inventory/ProductKeyTime.h"
#include "frame/IconImageList.h"
#include "platform/FileVersionInfo.h"
#include "platform/Files.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <cstdlib>
#include <utility>

namespace velmora {

namespace {

// Opens an item's key, or takes what a walk read of it; uses its
// "InstallProperties" subkey when there is one.
TRegKey OpenProductKey(const TRegistryKey& productKey, REGSAM access,
                       std::shared_ptr<const TRegKeySnapshot> snapshot = nullptr) {
    TRegKey key =
        snapshot ? TRegKey::FromSnapshot(std::move(snapshot), productKey) : TRegKey::Open(productKey, access);
    if (!key)
        return key;
    if (TRegKey properties = key.OpenSubKey(InstallPropertiesKey, access))
        return properties;
    return key;
}

// A string, or a number written in decimal.
std::optional<std::wstring> ReadStringOrNumber(const TRegKey& reg, std::wstring_view name) {
    if (auto text = reg.ReadString(name))
        return text;
    if (auto number = reg.ReadNumber(name))
        return std::to_wstring(*number);
    return std::nullopt;
}

bool ReadFlag(const TRegKey& reg, std::wstring_view name) {
    auto value = reg.ReadNumber(name);
    return value && *value != 0;
}

bool ProgramExists(const std::wstring& command) {
    return FileExists(ProgramOfCommand(command));
}

void ReadIfEmpty(std::wstring& field, const std::optional<std::wstring>& value) {
    if (field.empty() && value)
        field = *value;
}

} // namespace

void TItemProduct::ReadRegistryKeys() {
    FIsWinInstaller = false;
    FRegistryKeyDates.clear();
    FRegistryKeyTimes.clear();
    // What the source's walk read serves this read only; a later one asks the registry.
    const auto snapshots = std::exchange(FKeySnapshots, {});
    for (size_t index = 0; index < FRegistryKeys.size(); ++index) {
        TRegKey reg = OpenProductKey(FRegistryKeys[index], KEY_READ,
                                     index < snapshots.size() ? snapshots[index] : nullptr);
        if (!reg) {
            FRegistryKeyDates.push_back(std::nullopt);
            FRegistryKeyTimes.push_back(0);
            continue;
        }
        // Far more names are asked than a key holds.
        reg.CacheValues();
        std::optional<FILETIME> keyTime = ProductKeyTime(reg);
        FRegistryKeyDates.push_back(keyTime ? FileTimeToLocalDate(*keyTime).value_or(0) : 0);
        // The key's own time, a size written by the library included: what a later walk compares.
        const FILETIME written = reg.LastWriteTime().value_or(FILETIME{});
        FRegistryKeyTimes.push_back((static_cast<uint64_t>(written.dwHighDateTime) << 32) |
                                    written.dwLowDateTime);
        ReadRegistryValues(reg);
        ReadCommands(reg);
        if (FEstimatedSize <= 0) {
            if (auto size = reg.ReadNumber(L"EstimatedSize"))
                FEstimatedSize = static_cast<int64_t>(static_cast<int32_t>(*size)) * 1024;
        }
    }
}

void TItemProduct::ReadRegistryValues(const TRegKey& reg) {
    if (auto localized = reg.ReadText(L"DisplayName_Localized")) {
        std::wstring description = TFileVersionInfo(*localized).GetValue(L"FileDescription");
        if (!description.empty())
            FDisplayName = description;
    }
    if (FDisplayName.empty())
        FDisplayName = FDisplayNameNative;

    if (FDisplayVersion.empty()) {
        if (auto version = reg.ReadString(L"DisplayVersion"))
            FDisplayVersion = *version;
        else
            FDisplayVersion = ComposeVersion(ReadStringOrNumber(reg, L"VersionMajor"),
                                             ReadStringOrNumber(reg, L"VersionMinor"));
    }
    ReadIfEmpty(FPublisher, reg.ReadString(L"Publisher"));

    if (FInstallLocation.empty()) {
        if (auto location = reg.ReadText(L"InstallLocation"))
            FInstallLocation = StripQuotes(*location);
        if (FInstallLocation.empty())
            ReadIfEmpty(FInstallLocation, reg.ReadText(L"Inno Setup: App Path"));
        if (FInstallLocation.empty()) {
            if (auto uninstall = reg.ReadText(L"UninstallString")) {
                std::wstring folder = ExtractFileDir(ProgramOfCommand(*uninstall));
                if (IsInProgramFolder(folder, ProgramFilesFolder(), ProgramFilesX86Folder()))
                    FInstallLocation = folder;
            }
        }
    }
    ReadIfEmpty(FInstallSource, reg.ReadText(L"InstallSource"));
    if (FInstallDate <= 0) {
        if (auto date = reg.ReadString(L"InstallDate"))
            FInstallDate = DLLGlobals::DecodeDateTimeRegistry(*date);
        else if (auto installed = reg.ReadString(L"Installed"))
            FInstallDate = DLLGlobals::DecodeDateTimeRegistry(*installed);
    }
    ReadIfEmpty(FContact, reg.ReadString(L"Contact"));
    ReadIfEmpty(FComments, reg.ReadString(L"Comments"));
    ReadIfEmpty(FURLReadMe, reg.ReadText(L"Readme"));
    ReadIfEmpty(FURLHelpLink, reg.ReadText(L"HelpLink"));
    ReadIfEmpty(FURLSupport, reg.ReadText(L"URLInfoAbout"));
    ReadIfEmpty(FURLSupport, reg.ReadText(L"MoreInfoURL"));
    ReadIfEmpty(FPhoneSupport, reg.ReadString(L"HelpTelephone"));
    ReadIfEmpty(FURLUpdateInfo, reg.ReadText(L"URLUpdateInfo"));
    if (FLanguage.empty()) {
        if (auto name = reg.ReadString(L"Language"))
            FLanguage = DLLGlobals::LocaleIDToString(std::wstring_view(*name));
        else if (auto lcid = reg.ReadNumber(L"Language"))
            FLanguage = DLLGlobals::LocaleIDToString(static_cast<uint32_t>(*lcid));
        if (FLanguage.empty()) {
            if (auto transform = reg.ReadString(L"ShellUITransformLanguage"))
                FLanguage = DLLGlobals::LocaleIDToString(std::wstring_view(*transform));
        }
    }
    ReadIfEmpty(FDisplayIcon, reg.ReadText(L"DisplayIcon"));
    ReadIfEmpty(FDisplayIcon, reg.ReadText(L"ProductIcon"));
}

void TItemProduct::ReadCommands(const TRegKey& reg) {
    if (auto quiet = reg.ReadText(L"QuietUninstallString"))
        FCmdUninstallQuiet = *quiet;
    if (FCmdUninstall.empty()) {
        if (auto uninstall = reg.ReadText(L"UninstallString"))
            FCmdUninstall = *uninstall;
        else if (auto path = reg.ReadText(L"UninstallPath"))
            FCmdUninstall = *path;
    }
    if (auto modify = reg.ReadText(L"ModifyPath"))
        FCmdModify = *modify;
    if (auto repair = reg.ReadText(L"RepairPath"))
        FCmdRepair = *repair;
    TCommandFlags flags;
    flags.NoModify = ReadFlag(reg, L"NoModify");
    flags.NoRepair = ReadFlag(reg, L"NoRepair");
    flags.NoRemove = ReadFlag(reg, L"NoRemove");
    flags.WindowsInstaller = ReadFlag(reg, L"WindowsInstaller");
    AddCommandActions(flags, ProgramExists);
}

bool TItemProduct::CheckChange() {
    if (FWaitEvent) {
        HANDLE wait = static_cast<HANDLE>(FWaitEvent);
        if (WaitForSingleObject(wait, 0) != WAIT_OBJECT_0)
            return false;
        NextFolderChange(wait);
        SetChanged();
        FIsNeedReadFastInfo = true;
        FIsNeedReadSlowInfo = true;
        FPossibleActions = 0;
        return true;
    }
    std::wstring folder = InstallLocation();
    if (!folder.empty()) {
        unique_change_notification notification = FolderChangeNotification(
            folder, true, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
        if (notification)
            FWaitEvent = notification.release();
    }
    return false;
}

void TItemProduct::CloseWaitEvent() {
    if (FWaitEvent)
        unique_change_notification(static_cast<HANDLE>(std::exchange(FWaitEvent, nullptr)));
}

// Under the item lock: a re-read of the item's keys sees the key's time
// settled, not the moment between the write and its restore.
void TItemProduct::WriteDataToRegistry() {
    std::lock_guard lock(FCSItem);
    if (FRegistryKeys.empty())
        return;
    if (TRegKey key = OpenProductKey(FRegistryKeys.front(), KEY_ALL_ACCESS)) {
        const auto kilobytes = static_cast<DWORD>(FEstimatedSize / 1024);
        ProductKeyWrite(key, [&] { return key.WriteNumber(L"EstimatedSize", kilobytes); });
    }
}

bool TItemProduct::LoadIconFromReference(TIconImageList& iconList, const std::wstring& reference) {
    std::wstring fileName = CheckFileX64(PrepareFileName(ExtractIconFileName(reference)));
    int iconIndex = std::abs(ExtractIconIndex(reference));
    int listIndex = iconList.AddAppIcon(fileName, iconIndex);
    if (listIndex < 0 && iconIndex > 0)
        listIndex = iconList.AddAppIcon(fileName, 0);
    if (listIndex < 0)
        return false;
    int32_t old = ExchangeIconIndex(listIndex);
    if (old >= 0)
        iconList.FreeIconIndex(old);
    return true;
}

bool TItemProduct::LoadPngIcon(TIconImageList& iconList, const wchar_t* resourceName) {
    int listIndex = iconList.AddFromPNGResources(ThisModule(), resourceName);
    if (listIndex >= 0) {
        int32_t old = ExchangeIconIndex(listIndex);
        if (old >= 0)
            iconList.FreeIconIndex(old);
    }
    return true;
}

std::unique_ptr<TThread> TItemProduct::NewActionThread(TPossibleActions action) {
    return std::make_unique<TExecuteActionThread>(*this, action);
}

void TItemProduct::NameRunningAction(TPossibleActions& action, void*& topWindow) const {
    if (auto* running = dynamic_cast<const TExecuteActionThread*>(FActionThread.get())) {
        topWindow = running->GetTopWindow();
        action = running->Action();
    }
}

} // namespace velmora
