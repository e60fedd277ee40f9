#include "console/PackageManagement.h"

#include "platform/Format.h"
#include "platform/OSInfo.h"
#include "platform/Paths.h"

#include <stdexcept>

namespace velmora {

namespace {

// Vista has no feature query; its packaging tool takes other switches.
std::wstring CommandFormat(TPackageCommand command) {
    bool win7 = IsWindows7OrLater();
    switch (command) {
    case TPackageCommand::cmdGetFeatures:
        return win7 ? L"DISM.exe /Online /English /Get-Features /Format:Table" : L"";
    case TPackageCommand::cmdInstallFeature:
        return win7 ? L"DISM.exe /Online /Apply-Unattend:\"%s\"" : L"PkgMgr.exe /n:\"%s\"";
    case TPackageCommand::cmdUninstallUpdate:
        return win7 ? L"DISM.exe /Online /Remove-Package /PackageName:%s" : L"PkgMgr.exe /up:%s";
    }
    return L"";
}

} // namespace

std::wstring PackageManagement::GetCommand(TPackageCommand command, const std::wstring& arg) {
    std::wstring format = CommandFormat(command);
    if (format.empty())
        throw std::logic_error("PackageManagement: Unsupported command");
    return CheckFileX64(SystemFolderWithBackslash()) + Format(format, arg);
}

} // namespace velmora
