#include "features/FeatureEngineChoice.h"

#include "features/MumEngineWin8.h"
#include "features/SysocEngine.h"
#include "platform/OSInfo.h"

namespace velmora {

TFeatureManager* CreateFeatureEngine() {
    if (IsWindows8OrLater())
        return new TMumEngineWin8();
    if (IsWindowsVistaOrLater())
        return new TMumEngine();
    return new TSysocEngine();
}

} // namespace velmora
