#include "inventory/ItemProduct.h"

#include "frame/DebugLog.h"
#include "platform/Format.h"
#include "platform/Text.h"
#include "platform/Thread.h"

#include <cmath>

namespace velmora {

std::wstring ComposeVersion(const std::optional<std::wstring>& major,
                            const std::optional<std::wstring>& minor) {
    if (!major && !minor)
        return {};
    std::wstring version = major.value_or(std::wstring());
    if (minor)
        version += L"." + *minor;
    return version;
}

bool IsInProgramFolder(std::wstring_view folder, std::wstring_view programFiles,
                       std::wstring_view programFilesX86) {
    auto startsWith = [&](std::wstring_view prefix) {
        return !prefix.empty() && folder.size() >= prefix.size() &&
               SameText(folder.substr(0, prefix.size()), prefix);
    };
    return startsWith(programFiles) || startsWith(programFilesX86);
}

double RefinedInstallDate(double installDate, const std::vector<std::optional<double>>& keyDates) {
    for (const auto& date : keyDates) {
        if (!date)
            continue;
        if (installDate == 0 || std::trunc(*date) == std::trunc(installDate))
            return *date;
    }
    return installDate;
}

TItemProduct::TItemProduct(TTypeUninstallLocation* location) : FLocation(location) {}

bool TItemProduct::IsGUIDName(const TTypeUninstallLocation* location, std::wstring_view guid,
                              std::wstring_view name) const {
    return FLocation == location && SameText(FGUID, guid) && SameText(FDisplayNameNative, name);
}

void TItemProduct::RefineInstallDate() {
    FInstallDate = RefinedInstallDate(FInstallDate, FRegistryKeyDates);
}

TItemProduct::~TItemProduct() {
    FreeActionThread();
    CloseWaitEvent();
}

void TItemProduct::ReadFastInfo() {
    if (!FIsNeedReadFastInfo)
        return;
    struct TClearNeed {
        std::atomic<bool>& Flag;
        ~TClearNeed() { Flag = false; }
    } clearNeed{FIsNeedReadFastInfo};
    std::lock_guard lock(FCSItem);
    try {
        ClearFastData();
        ReadFastData();
        RefineInstallDate();
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
}

void TItemProduct::ClearFastData() {
    FIsWinInstaller = false;
    FDisplayIcon.clear();
    FCmdUninstallQuiet.clear();
    FCmdUninstall.clear();
    FCmdModify.clear();
    FCmdRepair.clear();
    FDisplayName.clear();
    FDisplayVersion.clear();
    FPublisher.clear();
    FInstallLocation.clear();
    FInstallSource.clear();
    FInstallDate = 0;
    FContact.clear();
    FComments.clear();
    FURLReadMe.clear();
    FURLHelpLink.clear();
    FURLSupport.clear();
    FPhoneSupport.clear();
    FURLUpdateInfo.clear();
    FLanguage.clear();
    FEstimatedSize = 0;
    FPossibleActions = 0;
}

bool TItemProduct::ReadAgainIfChanged(const TTemporaryInfo& info) {
    {
        std::lock_guard lock(FCSItem);
        bool changed = info.FRegistryKeys.size() != FRegistryKeys.size() ||
                       FRegistryKeyTimes.size() != FRegistryKeys.size();
        for (size_t index = 0; !changed && index < FRegistryKeys.size(); ++index) {
            const auto& snapshot = index < info.FKeySnapshots.size() ? info.FKeySnapshots[index] : nullptr;
            // A key the walk did not read may have changed.
            if (!snapshot || !snapshot->ValuesRead || !snapshot->SubKeysRead ||
                !info.FRegistryKeys[index].SameKey(FRegistryKeys[index])) {
                changed = true;
                break;
            }
            const auto properties = snapshot->FindSubKey(InstallPropertiesKey);
            changed = (properties ? properties->LastWriteTime : snapshot->LastWriteTime) !=
                      FRegistryKeyTimes[index];
        }
        if (!changed)
            return false;
        FRegistryKeys = info.FRegistryKeys;
        FKeySnapshots = info.FKeySnapshots;
        FIsNeedReadFastInfo = true;
    }
    ReadFastInfo();
    return true;
}

void TItemProduct::ReadExtendedInfo() {
    if (!FIsNeedReadSlowInfo)
        return;
    DoReadExtendedInfo();
    SetChanged();
}

void TItemProduct::ReadImages() {
    if (!FIsNeedReadSlowInfo)
        return;
    DoReadImages();
    SetChanged();
}

void TItemProduct::ReadSlowInfo() {
    if (!FIsNeedReadSlowInfo)
        return;
    try {
        DoReadSlowInfo();
    } catch (const EAbort&) {
        SetChanged();
        throw;
    } catch (...) {
        StatisticsLog::AddError();
    }
    FIsNeedReadSlowInfo = false;
    SetChanged();
}

std::wstring TItemProduct::GetActionCommand(TPossibleActions action) {
    const bool installerManaged = FIsWinInstaller && !FGUID.empty();
    auto installerCommand = [&](TPossibleActions a) -> std::wstring {
        switch (a) {
        case TPossibleActions::paUninstall:
            return Format(L"msiexec.exe /x %s", FGUID);
        case TPossibleActions::paModify:
        case TPossibleActions::paModifyRemove:
            return Format(L"msiexec.exe /i %s", FGUID);
        case TPossibleActions::paRepair:
            return Format(L"msiexec.exe /fa %s", FGUID);
        default:
            return {};
        }
    };
    std::lock_guard lock(FCSItem);
    switch (action) {
    case TPossibleActions::paUninstallQuiet:
        return FCmdUninstallQuiet;
    case TPossibleActions::paUninstall:
    case TPossibleActions::paModify:
    case TPossibleActions::paRepair:
    case TPossibleActions::paModifyRemove: {
        if (installerManaged)
            return installerCommand(action);
        std::wstring command = action == TPossibleActions::paModify   ? FCmdModify
                               : action == TPossibleActions::paRepair ? FCmdRepair
                                                                      : FCmdUninstall;
        if (command.empty() && !FGUID.empty())
            command = installerCommand(action);
        return command;
    }
    default:
        return {};
    }
}

void TItemProduct::AddCommandActions(const TCommandFlags& flags,
                                     const std::function<bool(const std::wstring&)>& programExists) {
    using enum TPossibleActions;
    if (!FCmdUninstallQuiet.empty() && (flags.WindowsInstaller || programExists(FCmdUninstallQuiet)))
        AddPossibleAction(paUninstallQuiet);
    if (flags.WindowsInstaller) {
        if (!flags.NoRemove)
            AddPossibleAction(paUninstall);
        if (!flags.NoModify)
            AddPossibleAction(paModify);
        if (!flags.NoRepair)
            AddPossibleAction(paRepair);
        FIsWinInstaller = true;
    } else if (!FCmdUninstall.empty() && FCmdModify.empty() && FCmdRepair.empty()) {
        // A lone uninstaller usually offers its own modify/remove choice.
        if (!flags.NoRepair && !flags.NoRemove)
            AddPossibleAction(paModifyRemove);
        else if (programExists(FCmdUninstall))
            AddPossibleAction(paUninstall);
    } else {
        if (!FCmdUninstall.empty() && !flags.NoRemove && programExists(FCmdUninstall))
            AddPossibleAction(paUninstall);
        if (!FCmdModify.empty() && !flags.NoModify)
            AddPossibleAction(paModify);
        if (!FCmdRepair.empty() && !flags.NoRepair)
            AddPossibleAction(paRepair);
    }
}

TInfoValue TItemProduct::GetInfo(TProductInfo index) {
    std::lock_guard lock(FCSItem);
    switch (index) {
    case piDisplayName:
        return FDisplayName;
    case piDisplayVersion:
        return FDisplayVersion;
    case piPublisher:
        return FPublisher;
    case piInstallLocation:
        return FInstallLocation;
    case piInstallSource:
        return FInstallSource;
    case piInstallDate:
        return TInfoDate{FInstallDate};
    case piContact:
        return FContact;
    case piComments:
        return FComments;
    case piURLReadMe:
        return FURLReadMe;
    case piURLHelpLink:
        return FURLHelpLink;
    case piURLSupport:
        return FURLSupport;
    case piPhoneSupport:
        return FPhoneSupport;
    case piURLUpdateInfo:
        return FURLUpdateInfo;
    case piLanguage:
        return FLanguage;
    case piEstimatedSize:
        return FEstimatedSize;
    default:
        return {};
    }
}

std::vector<TRegistryKey> TItemProduct::RegistryKeys() {
    std::lock_guard lock(FCSItem);
    return FRegistryKeys;
}

std::wstring TItemProduct::InstallLocation() {
    std::lock_guard lock(FCSItem);
    return FInstallLocation;
}

std::wstring TItemProduct::DisplayName() {
    std::lock_guard lock(FCSItem);
    return FDisplayName;
}

std::wstring TItemProduct::GUID() {
    std::lock_guard lock(FCSItem);
    return FGUID;
}

bool TItemProduct::RunAction(TPossibleActions& action, void*& topWindow) {
    std::lock_guard lock(FActionThreadCS);
    topWindow = nullptr;
    if (FActionThread) {
        NameRunningAction(action, topWindow);
        return false;
    }
    if (action == TPossibleActions::paRemoveFromRegistry)
        return true;
    FActionThread = NewActionThread(action);
    try {
        FActionThread->Start();
    } catch (...) {
        // A thread that never ran must not count as a running action.
        FActionThread.reset();
        throw;
    }
    return true;
}

bool TItemProduct::IsActionRunning() {
    std::lock_guard lock(FActionThreadCS);
    return FActionThread != nullptr;
}

void TItemProduct::DetachActionThread(TThread* thread) {
    std::lock_guard lock(FActionThreadCS);
    if (FActionThread.get() != thread)
        return;
    FActionThread.release()->Detach();
}

void TItemProduct::StopActionThread() {
    FreeActionThread();
}

void TItemProduct::FreeActionThread() {
    std::unique_ptr<TThread> thread;
    {
        std::lock_guard lock(FActionThreadCS);
        thread = std::move(FActionThread);
    }
    // The thread's destructor terminates it and waits; the ending thread may
    // still take FActionThreadCS meanwhile.
    thread.reset();
}

} // namespace velmora
