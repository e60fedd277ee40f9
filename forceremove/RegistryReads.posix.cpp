// The native build has no registry: no key opens, so every read yields nothing.
#include "forceremove/RegistryReads.h"

namespace velmora {

std::vector<std::wstring> ReadSubKeyNames(std::wstring_view) {
    return {};
}

std::vector<std::wstring> ReadValueNames(std::wstring_view) {
    return {};
}

std::wstring ReadDefaultString(std::wstring_view) {
    return {};
}

} // namespace velmora
