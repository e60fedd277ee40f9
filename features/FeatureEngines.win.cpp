#include "features/FeatureEngines.h"

namespace velmora {

// The feature sources are not read yet: each engine publishes an empty tree,
// so the read state and the change stamp behave as they will with features.
void TSysocEngine::ReadFeatures(TThread&) {
    ClearFeatures();
    TThread::CheckTerminated();
}

void TMumEngine::ReadFeatures(TThread&) {
    ClearFeatures();
    TThread::CheckTerminated();
}

void TMumEngineWin8::ReadFeatures(TThread&) {
    ClearFeatures();
    TThread::CheckTerminated();
}

} // namespace velmora
