#pragma once
// OLE dates as text.
#include <string>

namespace velmora {

// "yyyy-mm-dd" (or "yyyy-mm-ddThh:nn:ss" with a time of day); empty for 0.
std::wstring FormatOleDate(double date);

} // namespace velmora
