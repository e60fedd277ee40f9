#include "features/FeatureEngines.h"

namespace velmora {

// The setup information files are not read yet: an empty tree.
void TSysocEngine::ReadFeatures(TThread&) {
    Features().Clear();
}

} // namespace velmora
