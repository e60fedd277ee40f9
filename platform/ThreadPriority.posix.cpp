#include "platform/Thread.h"

namespace velmora {

// Portable builds run the logic only; priorities matter on Windows.
void SetCurrentThreadPriority(TThreadPriority) {}

} // namespace velmora
