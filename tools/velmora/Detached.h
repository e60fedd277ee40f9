#pragma once
#include <optional>

namespace velmora::cli {

// The library answers an uninstaller's questions by typing into the
// uninstaller's console, which a process attached to a console of its own
// cannot do. An action command therefore runs in a copy of this program
// without a console, whose output and input this process relays. Answers
// the copy's exit code; nothing when this process is that copy (or the copy
// could not be started), which then does the work itself.
std::optional<int> RunInDetachedCopy();

} // namespace velmora::cli
