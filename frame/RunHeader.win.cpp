#include "frame/RunHeader.h"

#include "platform/FileVersionInfo.h"
#include "platform/LogFile.h"
#include "platform/Module.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"

#include <windows.h>

namespace velmora {

namespace {

// Each fact on its own: one that cannot be read skips its line only.
template <class T, class Read> void Try(std::optional<T>& fact, Read&& read) {
    try {
        fact = read();
    } catch (...) {
    }
}

std::optional<std::wstring> VersionValue(const std::wstring& file, std::wstring_view name) {
    std::wstring value = TFileVersionInfo(file).GetValue(name);
    if (value.empty())
        return std::nullopt;
    return value;
}

} // namespace

TRunHeaderInfo GatherRunHeaderInfo() {
    TRunHeaderInfo info;
    info.Time = FormatLogTime(logfs::LocalTimeNow());
    Try(info.Version, [] { return WindowsVersionText(); });
    Try(info.Architecture, [] { return ArchitectureText(); });
    Try(info.ServicePack, [] { return ServicePackText(); });
    Try(info.Edition, [] { return EditionText(); });
    for (const wchar_t* file : {L"shlwapi.dll", L"shell32.dll", L"comctl32.dll"}) {
        try {
            // The copy this process runs (for comctl32 possibly the side-by-side
            // one), else the one in the system folder.
            HMODULE loaded = LoadedModule(file);
            std::wstring path = loaded ? ModuleFileName(loaded) : SystemFolderWithBackslash() + file;
            if (auto fixed = TFileVersionInfo(path).FixedFileVersion())
                info.ModuleVersions.push_back({file, fixed->Major, fixed->Minor});
        } catch (...) {
        }
    }
    Try(info.IsWow64Process, [] { return IsWow64Process(); });
    Try(info.UserName, [] { return UserName(); });
    Try(info.UserIsAdmin, [] { return IsUserAdmin(); });
    // The suite's version is the one this library carries; the program's is
    // its executable's. A file without the value skips the line.
    Try(info.ProductVersion, [] { return VersionValue(ThisModuleFileName(), L"ProductVersion"); });
    Try(info.ProgramVersion, [] { return VersionValue(HostExecutableFileName(), L"FileVersion"); });
    return info;
}

std::vector<TRegistryKey> UninstallRegistryPlaces() {
    static constexpr std::wstring_view UninstallPath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::vector<TRegView> views =
        Is64BitWindows() ? std::vector{TRegView::x64, TRegView::x32} : std::vector{TRegView::Default};
    std::vector<TRegistryKey> places;
    for (TRegRoot root : {TRegRoot::LocalMachine, TRegRoot::CurrentUser}) {
        for (TRegView view : views)
            places.push_back({view, root, std::wstring(UninstallPath)});
    }
    return places;
}

} // namespace velmora
