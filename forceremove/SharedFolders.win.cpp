#include "forceremove/SharedFolders.h"

#include "platform/Paths.h"

#include <windows.h>
#include <shlobj.h>
#include <userenv.h>

namespace velmora {

namespace {

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

} // namespace

TSharedFolders SystemSharedFolders() {
    std::vector<std::wstring> folders{
        WindowsFolder(),
        ProgramFilesFolder(),
        ProgramFilesX86Folder(),
        SpecialFolder(CSIDL_PROGRAM_FILES_COMMON),
        SpecialFolder(CSIDL_PROGRAM_FILES_COMMONX86),
        SpecialFolder(CSIDL_PROFILE),
        AllUsersProfile(),
        CommonAppDataFolder(),
        AppDataFolder(),
        LocalAppDataFolder(),
    };
    return TSharedFolders(std::move(folders), {ProfilesFolder()}, LongPath);
}

} // namespace velmora
