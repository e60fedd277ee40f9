#pragma once
// The file an installer-advertised shortcut starts, asked of Windows
// Installer (product and component of the shortcut, then the component's
// path).
#include <string>

namespace velmora {

// Empty for a plain shortcut, and when the installer has the component
// neither on disk nor at its source.
std::wstring AdvertisedShortcutTarget(const std::wstring& linkFile);

} // namespace velmora
