#pragma once
// The command lines of the system's packaging tools, per Windows generation.
#include <string>

namespace velmora {

enum class TPackageCommand { cmdGetFeatures, cmdInstallFeature, cmdUninstallUpdate };

class PackageManagement {
public:
    // The command with arg in place of "%0:s", behind the native system
    // folder. Throws std::logic_error "PackageManagement: Unsupported
    // command" where this Windows has no tool for it.
    static std::wstring GetCommand(TPackageCommand command, const std::wstring& arg = {});
};

} // namespace velmora
