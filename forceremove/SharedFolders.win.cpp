#include "forceremove/SharedFolders.h"

#include "forceremove/AppFolders.h"
#include "platform/PathText.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

#include <windows.h>
#include <shlobj.h>
#include <userenv.h>

#include <algorithm>

namespace velmora {

namespace {

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Known folders without a CSIDL.
constexpr wchar_t DownloadsId[] = L"{374DE290-123F-4565-9164-39C4925E467B}";
constexpr wchar_t LocalLowId[] = L"{A520A1A4-1780-4FF6-BD18-167343C5AF16}";
constexpr wchar_t UserProgramsId[] = L"{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}";
constexpr wchar_t UserProgramsCommonId[] = L"{BCBD3057-CA5C-4622-B42D-BC56DB0AE516}";

std::wstring ProfilesFolder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    return GetProfilesDirectoryW(folder, &size) ? std::wstring(folder) : std::wstring();
}

std::wstring AllUsersProfile() {
    wchar_t folder[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    return GetAllUsersProfileDirectoryW(folder, &size) ? std::wstring(folder) : std::wstring();
}

std::wstring LongPath(std::wstring_view path) {
    std::wstring text(path);
    DWORD size = GetLongPathNameW(text.c_str(), nullptr, 0);
    if (size == 0)
        return text;
    std::wstring result(size, L'\0');
    size = GetLongPathNameW(text.c_str(), result.data(), size);
    result.resize(size);
    return size ? result : text;
}

// A folder below base; empty without a base.
std::wstring Below(const std::wstring& base, const wchar_t* name) {
    return base.empty() ? base : IncludeTrailingBackslash(base) + name;
}

} // namespace

TSharedFolders SystemSharedFolders() {
    const std::wstring profile = SpecialFolder(CSIDL_PROFILE);
    const std::wstring local = LocalAppDataFolder();
    std::vector<std::wstring> folders{
        WindowsFolder(),
        ProgramFilesFolder(),
        ProgramFilesX86Folder(),
        AllUsersProfile(),
        CommonAppDataFolder(),
        AppDataFolder(),
        local,
        ExtractFileDir(ExcludeTrailingBackslash(local)), // the profile's "AppData"
        Below(ExtractFileDir(ExcludeTrailingBackslash(local)), L"LocalLow"),
        Below(local, L"Programs"),
        Below(local, L"Temp"),
        Below(profile, L"Downloads"),
        TempFolder(),
        PrepareFileName(L"%TEMP%"),
        PrepareFileName(L"%TMP%"),
    };
    for (int csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL,
                      CSIDL_COMMON_DOCUMENTS, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO, CSIDL_FAVORITES,
                      CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS,
                      CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES})
        folders.push_back(SpecialFolder(csidl));
    for (const wchar_t* id : {DownloadsId, LocalLowId, UserProgramsId, UserProgramsCommonId})
        folders.push_back(KnownFolderPath(id).value_or(L""));
    // Each direct subfolder of common files is a vendor's, shared by its programs.
    std::vector<std::wstring> sharedParents{
        ProfilesFolder(),
        SpecialFolder(CSIDL_PROGRAM_FILES_COMMON),
        SpecialFolder(CSIDL_PROGRAM_FILES_COMMONX86),
        PrepareFileName(L"%CommonProgramW6432%"),
    };
    return TSharedFolders(std::move(folders), std::move(sharedParents), LongPath);
}

std::vector<std::wstring> OtherInstallLocations(const std::vector<TRegistryKey>& ownKeys) {
    std::vector<std::wstring> locations;
    const std::pair<TRegRoot, TRegView> sources[] = {{TRegRoot::LocalMachine, TRegView::x64},
                                                     {TRegRoot::LocalMachine, TRegView::x32},
                                                     {TRegRoot::CurrentUser, TRegView::Default}};
    for (const auto& [root, view] : sources) {
        const TRegKey uninstall = TRegKey::Open(root, UninstallKey, KEY_READ, view);
        if (!uninstall)
            continue;
        for (const std::wstring& name : uninstall.SubKeyNames().ToVector()) {
            const std::wstring path = std::wstring(UninstallKey) + L"\\" + name;
            // The product's own key, in whichever view it was recorded.
            if (std::any_of(ownKeys.begin(), ownKeys.end(), [&](const TRegistryKey& own) {
                    return own.Root == root && TRegistryKey{TRegView::Default, root, path}.SameKey(
                                                   {TRegView::Default, own.Root, own.Path});
                }))
                continue;
            const auto location = TRegKey::Open(root, path, KEY_READ, view).ReadText(L"InstallLocation");
            if (!location)
                continue;
            const std::wstring prepared = PrepareFileName(*location);
            if (IsFullFolderPath(prepared))
                locations.push_back(LongPath(prepared));
        }
    }
    return locations;
}

} // namespace velmora
