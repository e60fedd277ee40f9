#pragma once
// The forced removal of one product as a window of its own: the leftover
// scan with its progress, the leftovers grouped for review, the removal
// with its decisions asked as dialogs, and the result of each item.
#include "api/Interfaces.Velmora.h"

#include <functional>
#include <string>
#include <vector>

namespace velmora::gui {

// Told the lines of the window's tree once an automated removal is done.
using TRemovalDone = std::function<void(const std::vector<std::wstring>& lines)>;

// Opens the window owned by owner; false (nothing opened) when the library
// offers no forced removal of the product. The window frees itself. With
// done, the removal runs by itself, every question answered yes, and the
// window closes when it has told done its result.
bool OpenRemovalWindow(HWND owner, IProduct& product, const std::wstring& name, TRemovalDone done = {});

} // namespace velmora::gui
