#include "console/PackageManagement.h"

#include "platform/Format.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"

#include <stdexcept>

namespace velmora {

namespace {

struct TCommandFormat {
    const wchar_t* Tool = nullptr;
    const wchar_t* Arguments = nullptr;
};

// Vista has no feature query and no app packages; its packaging tool takes
// other switches.
TCommandFormat CommandFormat(TPackageCommand command) {
    bool win7 = IsWindows7OrLater();
    switch (command) {
    case TPackageCommand::cmdGetFeatures:
        return win7 ? TCommandFormat{L"DISM.exe", L"/Online /English /Get-Features /Format:Table"}
                    : TCommandFormat{};
    case TPackageCommand::cmdInstallFeature:
        return win7 ? TCommandFormat{L"DISM.exe", L"/Online /Apply-Unattend:\"%s\""}
                    : TCommandFormat{L"PkgMgr.exe", L"/n:\"%s\""};
    case TPackageCommand::cmdUninstallUpdate:
        return win7 ? TCommandFormat{L"DISM.exe", L"/Online /Remove-Package /PackageName:%s"}
                    : TCommandFormat{L"PkgMgr.exe", L"/up:%s"};
    case TPackageCommand::cmdRemoveProvisionedApp:
        return win7 ? TCommandFormat{L"DISM.exe", L"/Online /Remove-ProvisionedAppxPackage /PackageName:%s"}
                    : TCommandFormat{};
    }
    return {};
}

} // namespace

std::wstring PackageManagement::SystemTool(std::wstring_view fileName) {
    return L"\"" + CheckFileX64(SystemFolderWithBackslash()) + std::wstring(fileName) + L"\"";
}

std::wstring PackageManagement::GetCommand(TPackageCommand command, const std::wstring& arg) {
    TCommandFormat format = CommandFormat(command);
    if (!format.Tool)
        throw std::logic_error("PackageManagement: Unsupported command");
    return SystemTool(format.Tool) + L" " + Format(format.Arguments, arg);
}

} // namespace velmora
