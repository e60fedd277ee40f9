#pragma once
// Removing an installed servicing package, as the servicing tools do.
#include <string>

namespace velmora::doubles {

// Refuses a package the machine does not have installed and a permanent
// one; otherwise works a moment with progress and records the package as
// absent. Answers the exit code.
int RemovePackage(const std::wstring& packageKey);

} // namespace velmora::doubles
