#pragma once
// The servicing double's app-package command, acting on the packages Windows
// keeps provisioned for new users (one key per package full name under
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Appx\AppxAllUserStore\Applications):
//   DISM.exe /Online /Remove-ProvisionedAppxPackage /PackageName:<package full name>
#include <optional>

namespace velmora::doubles {

// The command's exit code when the arguments name it; nothing otherwise.
std::optional<int> RunProvisionedAppxCommand(int argc, wchar_t** argv);

} // namespace velmora::doubles
