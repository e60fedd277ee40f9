// Reading a program from its uninstall keys, the Add/Remove Programs cache,
// Windows Installer and the reputation component; its icon.
#include "inventory/ItemProgram.h"

#include "frame/DebugLog.h"
#include "frame/Globals.h"
#include "frame/IconImageList.h"
#include "inventory/TaskManager.h"
#include "inventory/ItemFolder.h"
#include "msi/MsiEngine.h"
#include "platform/FileVersionInfo.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <windows.h>

#include <msi.h>
#include <oleauto.h>

#include <memory>
#include <mutex>

namespace velmora {

namespace {

constexpr wchar_t ARPCacheKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";

// The rating images and the default program icon come first.
class TProgramIconList : public TIconImageList {
public:
    TProgramIconList() {
        HMODULE module = ThisModule();
        AddFromPNGResources(module, L"RATING_TRUST");
        AddFromPNGResources(module, L"RATING_UNKNOWN");
        AddFromPNGResources(module, L"RATING_RISKY");
        if (IsWindowsVistaOrLater())
            AddIconResources(module, L"ICON_DEF_VISTA_SMALL", L"ICON_DEF_VISTA_LARGE");
        else
            AddIconResources(module, L"ICON_DEF_XP_SMALL", L"ICON_DEF_XP_LARGE");
        FixInitialIcons();
    }
};

std::mutex ProgramIconsLock;
std::unique_ptr<TProgramIconList> ProgramIcons;

// A UTC FILETIME as a local OLE date; 0 when it is no valid time.
double LocalOleDate(uint64_t fileTime) {
    if (fileTime == 0)
        return 0;
    FILETIME utc{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    FILETIME local;
    SYSTEMTIME system;
    double date = 0;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &system) ||
        !SystemTimeToVariantTime(&system, &date))
        return 0;
    return date;
}

// A program file, also in its 64-bit form when this is a 32-bit process on
// 64-bit Windows.
bool ProgramFileExists(const std::wstring& path) {
    if (FileExists(path))
        return true;
    return IsWow64Process() && FileExists(CheckFileX64(path));
}

std::optional<std::wstring> FirstString(const TRegKey& reg, std::initializer_list<const wchar_t*> names) {
    for (const wchar_t* name : names) {
        if (auto value = reg.ReadString(name))
            return value;
    }
    return std::nullopt;
}

} // namespace

namespace program_os {

std::wstring QueryHostFolder() {
    return ThisModuleFolder();
}

// Without the library's images (a host that does not carry them) programs
// keep the default index and no icons are loaded; the error is logged.
void CreateIconList() {
    std::lock_guard lock(ProgramIconsLock);
    ProgramIcons.reset();
    try {
        ProgramIcons = std::make_unique<TProgramIconList>();
    } catch (...) {
        StatisticsLog::AddError();
    }
}

void FreeIconList() {
    std::lock_guard lock(ProgramIconsLock);
    ProgramIcons.reset();
}

void FreeProgramIcon(int32_t index) {
    if (index < TItemProgram::FirstProgramIcon)
        return;
    std::lock_guard lock(ProgramIconsLock);
    if (ProgramIcons)
        ProgramIcons->FreeIconIndex(index);
}

} // namespace program_os

double NowOleDate() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

TIconImageList* TItemProgram::IconList() {
    std::lock_guard lock(ProgramIconsLock);
    return ProgramIcons.get();
}

void TItemProgram::ReadFastData() {
    ReadRegistryKeys();
}

void TItemProgram::ReadRegistryValues(const TRegKey& reg) {
    TItemProduct::ReadRegistryValues(reg);
    if (FProductID.empty())
        FProductID = reg.ReadString(L"ProductID").value_or(std::wstring());
    if (FRegisteredOwner.empty())
        FRegisteredOwner =
            FirstString(reg, {L"Inno Setup: User Info: Name", L"Inno Setup: User", L"RegOwner"})
                .value_or(L"");
    if (FRegisteredCompany.empty())
        FRegisteredCompany = FirstString(reg, {L"Inno Setup: User Info: Organization",
                                               L"Inno Setup: Organization", L"RegCompany"})
                                 .value_or(L"");
    // From Windows 7 on, Windows keeps this cache no longer.
    if (!IsWindows7OrLater())
        ReadSlowInfoCache(ExtractFileName(reg.KeyText()));
}

void TItemProgram::ReadSlowInfoCache(const std::wstring& keyName) {
    if (keyName.empty())
        return;
    const REGSAM access = KEY_READ | (IsWow64Process() ? KEY_WOW64_64KEY : 0);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        TRegKey key = TRegKey::Open(root, ARPCacheKey + keyName, access);
        if (!key)
            continue;
        auto data = key.ReadBinary(L"SlowInfoCache");
        if (!data)
            continue;
        if (auto cache = ParseSlowInfoCache(*data))
            ApplySlowInfoCache(*cache, LocalOleDate(cache->LastUsed));
    }
}

void TItemProgram::ReadCommands(const TRegKey& reg) {
    AddPossibleAction(TPossibleActions::paRemoveFromRegistry);
    TItemProduct::ReadCommands(reg);
    // The suite's own programs are not offered for removal.
    if (IsInHostFolder(FInstallLocation))
        FPossibleActions = 0;
}

void TItemProgram::DoReadExtendedInfo() {
    std::wstring displayName, location, guid, slowExe, publisher, version, language;
    {
        std::lock_guard itemLock(FCSItem);
        displayName = FDisplayName;
        location = FInstallLocation;
        guid = FGUID;
        slowExe = FSlowExePath;
        publisher = FPublisher;
        version = FDisplayVersion;
        language = FLanguage;
    }

    // Completing the install location asks the installer's thread: done
    // outside the program list lock, stored under it. A product installed
    // after the installer's list was read is asked for on its own.
    if (!location.empty()) {
        location = IncludeTrailingBackslash(location);
    } else {
        if (!guid.empty()) {
            if (auto product = TMsiEngine::Instance().FindProduct(guid))
                location = product->InstallLocation();
            if (!location.empty())
                location = IncludeTrailingBackslash(location);
        }
        if (location.empty() && !slowExe.empty())
            location = IncludeTrailingBackslash(ExtractFileDir(slowExe));
    }

    TItemFolder* itemExe = TItemFolder::SearchForExecutable(displayName, location);
    if (itemExe) {
        DebugLog().WriteLog(TLogLevel::llInfo,
                            Format(L"FItemExe for (%s): %s", displayName, itemExe->ExecutedFile()));
        if (location.empty() && !itemExe->ExecutedFile().empty())
            location = IncludeTrailingBackslash(ExtractFileDir(itemExe->ExecutedFile()));
        if (publisher.empty())
            publisher = itemExe->CompanyName();
        if (version.empty())
            version = itemExe->ProductVersion();
        if (language.empty())
            language = itemExe->Translations();
    }
    // The Add/Remove Programs cache's file fills what the executable left empty.
    if (!slowExe.empty() && (publisher.empty() || version.empty() || language.empty())) {
        TFileVersionInfo info(slowExe);
        if (publisher.empty())
            publisher = info.GetValue(L"CompanyName");
        if (version.empty()) {
            version = info.GetValue(L"ProductVersion");
            if (version.empty())
                version = info.GetValue(L"FileVersion");
        }
        if (language.empty())
            language = DLLGlobals::LocaleIDListToString(info.Languages());
    }

    std::wstring cmdUninstall, cmdModify, cmdRepair;
    bool installerManaged;
    {
        std::lock_guard listLock(Items().Lock());
        std::lock_guard itemLock(FCSItem);
        FItemExe = itemExe;
        FInstallLocation = location;
        FPublisher = publisher;
        FDisplayVersion = version;
        FLanguage = language;
        if (IsInHostFolder(location))
            FPossibleActions = 0;
        cmdUninstall = FCmdUninstall;
        cmdModify = FCmdModify;
        cmdRepair = FCmdRepair;
        installerManaged = FIsWinInstaller;
    }

    // The programs are found as the actions find them; a missing one is looked
    // for in its 64-bit form too.
    TCommandProbe probe = SystemCommandProbe();
    probe.FileExists = ProgramFileExists;
    FInstallLocationCorrupted = (!location.empty() && !FolderExists(ExcludeTrailingBackslash(location))) ||
                                IsCommandMissing(cmdUninstall, probe) || IsCommandMissing(cmdModify, probe) ||
                                IsCommandMissing(cmdRepair, probe);
    FProductCodeNotFound =
        installerManaged && !guid.empty() && MsiQueryProductStateW(guid.c_str()) == INSTALLSTATE_INVALIDARG;
}

void TItemProgram::DoReadImages() {
    TIconImageList* icons = IconList();
    std::wstring displayIcon, slowExe, exeIcon, exeFile;
    {
        std::lock_guard lock(FCSItem);
        displayIcon = FDisplayIcon;
        slowExe = FSlowExePath;
        if (FItemExe) {
            exeIcon = FItemExe->IconLocation();
            exeFile = FItemExe->ExecutedFile();
        }
    }
    if (icons && IconIndex() < FirstProgramIcon) {
        for (const std::wstring* reference : {&displayIcon, &slowExe, &exeIcon, &exeFile}) {
            if (!reference->empty() && LoadIconFromReference(*icons, *reference))
                break;
        }
    }
    FDisplayIconNotFound = IconIndex() < FirstProgramIcon && !displayIcon.empty();
}

void TItemProgram::DoReadSlowInfo() {
    std::wstring location;
    int64_t size;
    TItemFolder* itemExe;
    {
        std::lock_guard lock(FCSItem);
        location = FInstallLocation;
        size = FEstimatedSize;
        itemExe = FItemExe;
    }
    // The folders are looked up (each a registry read) only for a program without a size.
    if (size <= 0 &&
        NeedsSizeJob(size, location, WindowsFolder(), ProgramFilesFolder(), ProgramFilesX86Folder()) &&
        FolderExists(ExcludeTrailingBackslash(location)))
        TTaskManager::Instance().Queue(this);
    ReadSoftwareRating(itemExe);
    ReadUsage(location.empty() ? location : IncludeTrailingBackslash(location));
}

void TItemProgram::ReadSoftwareRating(TItemFolder* itemExe) {
    TComPtr<ITrustika> trustika = DLLGlobals::GetTrustika();
    std::wstring slowExe, publisher;
    {
        std::lock_guard lock(FCSItem);
        slowExe = FSlowExePath;
        publisher = FPublisher;
    }
    std::wstring exeFile = itemExe ? itemExe->ExecutedFile() : std::wstring();
    std::wstring exeCompany = itemExe ? itemExe->CompanyName() : std::wstring();
    TSoftwareRating rating = TSoftwareRating::stUnknown;
    for (const std::wstring* file : {&exeFile, &slowExe}) {
        if (rating == TSoftwareRating::stUnknown && !file->empty())
            rating = trustika->GetFileRating(file->c_str());
    }
    for (const std::wstring* company : {&publisher, &exeCompany}) {
        if (rating == TSoftwareRating::stUnknown && !company->empty())
            rating = trustika->GetCompanyRating(company->c_str());
    }
    std::lock_guard lock(FCSItem);
    FSoftwareRating = rating;
}

} // namespace velmora
