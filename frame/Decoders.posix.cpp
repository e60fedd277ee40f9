#include "frame/Decoders.h"

namespace velmora {

// The braced form CLSIDFromString parses: {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}.
bool IsValidGUIDText(std::wstring_view text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        wchar_t c = text[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != L'-')
                return false;
        } else if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) {
            return false;
        }
    }
    return true;
}

} // namespace velmora
