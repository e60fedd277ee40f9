#pragma once
// The backup sets of the suite's backup component, each restorable.
#include <windows.h>

namespace velmora::gui {

// Opens the window owned by owner; false (and a message) when the backup
// component cannot be loaded. The window frees itself.
bool OpenBackupsWindow(HWND owner);

} // namespace velmora::gui
