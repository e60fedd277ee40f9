#pragma once
// The packages the Windows Runtime package manager lists for the current
// user, where the system has one.
#include <optional>
#include <string>
#include <vector>

namespace velmora::launchet {

// Full names of the main, framework and resource packages registered for the
// current user; nothing when the system has no package manager (before
// Windows 8, or one that does not offer it) or it refuses the question. The
// runtime's functions are looked up in combase.dll, never imported. The
// caller is in a COM apartment.
std::optional<std::vector<std::wstring>> RuntimePackageFullNames();

} // namespace velmora::launchet
