#include "platform/ComObject.h"

#include <objbase.h>

namespace velmora {

TComApartmentGuard::TComApartmentGuard() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}

TComApartmentGuard::~TComApartmentGuard() {
    // S_FALSE (already in this kind of apartment) counts too and is balanced.
    if (SUCCEEDED(FResult))
        CoUninitialize();
}

} // namespace velmora
