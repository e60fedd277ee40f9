#pragma once
// The forced removal of one product as a window of its own: the leftover
// scan with its progress, the leftovers grouped for review, the removal
// with its decisions asked as dialogs, and the result of each item.
#include "api/Interfaces.Velmora.h"

#include <string>

namespace velmora::gui {

// Opens the window owned by owner; false (nothing opened) when the library
// offers no forced removal of the product. The window frees itself.
bool OpenRemovalWindow(HWND owner, IProduct& product, const std::wstring& name);

} // namespace velmora::gui
