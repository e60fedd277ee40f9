#include "platform/Thread.h"

#include <windows.h>

namespace velmora {

void SetCurrentThreadPriority(TThreadPriority priority) {
    int value = THREAD_PRIORITY_NORMAL;
    switch (priority) {
    case TThreadPriority::Idle:
        value = THREAD_PRIORITY_IDLE;
        break;
    case TThreadPriority::Lowest:
        value = THREAD_PRIORITY_LOWEST;
        break;
    case TThreadPriority::Lower:
        value = THREAD_PRIORITY_BELOW_NORMAL;
        break;
    case TThreadPriority::Normal:
        return;
    }
    SetThreadPriority(GetCurrentThread(), value);
}

} // namespace velmora
