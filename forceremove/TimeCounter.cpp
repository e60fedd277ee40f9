#include "forceremove/TimeCounter.h"

#include <chrono>

namespace velmora {

TTimeCounter::TTimeCounter(std::function<uint64_t()> now) : FNow(std::move(now)) {}

uint64_t TTimeCounter::SteadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TTimeCounter::Start() {
    std::lock_guard lock(FLock);
    FElapsed = 0;
    FResumedAt = FNow();
}

void TTimeCounter::Resume() {
    std::lock_guard lock(FLock);
    if (!FResumedAt)
        FResumedAt = FNow();
}

void TTimeCounter::Suspend() {
    std::lock_guard lock(FLock);
    if (FResumedAt) {
        FElapsed += FNow() - *FResumedAt;
        FResumedAt.reset();
    }
}

void TTimeCounter::Stop() {
    Suspend();
}

uint64_t TTimeCounter::Elapsed() const {
    std::lock_guard lock(FLock);
    return FResumedAt ? FElapsed + FNow() - *FResumedAt : FElapsed;
}

} // namespace velmora
