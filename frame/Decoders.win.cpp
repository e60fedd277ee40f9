#include "frame/Decoders.h"

#include <windows.h>
#include <objbase.h>

#include <string>

namespace velmora {

bool IsValidGUIDText(std::wstring_view text) {
    // CLSIDFromString answers CLSID_NULL for an empty text.
    if (text.empty())
        return false;
    std::wstring terminated(text);
    CLSID clsid;
    return SUCCEEDED(CLSIDFromString(terminated.c_str(), &clsid));
}

} // namespace velmora
