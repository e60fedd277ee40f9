#pragma once

namespace velmora {

class TFeatureManager;

// The feature engine for the running Windows generation, newly created
// (reference count 0: the caller takes the first reference).
TFeatureManager* CreateFeatureEngine();

} // namespace velmora
