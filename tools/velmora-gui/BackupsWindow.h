#pragma once
// The backup sets of the suite's backup component, each restorable.
#include <windows.h>

#include <functional>
#include <string>

namespace velmora::gui {

// Told what the backup component reported of an automated restore.
using TRestoreDone = std::function<void(const std::wstring& report)>;

// Opens the window owned by owner; false (and a message) when the backup
// component cannot be loaded. The window frees itself. With done, it
// restores the newest set by itself and closes once it has told done.
bool OpenBackupsWindow(HWND owner, TRestoreDone done = {});

} // namespace velmora::gui
