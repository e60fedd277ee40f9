#pragma once
// The command lines of the system's packaging tools, per Windows generation.
#include <string>
#include <string_view>

namespace velmora {

enum class TPackageCommand { cmdGetFeatures, cmdInstallFeature, cmdUninstallUpdate, cmdRemoveProvisionedApp };

class PackageManagement {
public:
    // The tool's full path in the native system folder, quoted: a tool that
    // runs with administrator rights is never looked for in the host's own
    // or current folder.
    static std::wstring SystemTool(std::wstring_view fileName);

    // The command with arg in place of "%0:s", its tool a SystemTool. Throws std::logic_error
    // "PackageManagement: Unsupported command" where this Windows has no tool for it.
    static std::wstring GetCommand(TPackageCommand command, const std::wstring& arg = {});
};

} // namespace velmora
