#pragma once
// The running time of a forced removal: paused periods do not count.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace velmora {

class TTimeCounter {
public:
    // now: a monotonic clock in milliseconds.
    explicit TTimeCounter(std::function<uint64_t()> now = SteadyMilliseconds);

    // From zero, running.
    void Start();
    // Runs on; already running, nothing changes.
    void Resume();
    // Stops counting until the next Resume; Stop does the same.
    void Suspend();
    void Stop();
    uint64_t Elapsed() const;

    static uint64_t SteadyMilliseconds();

private:
    const std::function<uint64_t()> FNow;
    mutable std::mutex FLock; // the front end reads while the worker pauses
    uint64_t FElapsed = 0;
    std::optional<uint64_t> FResumedAt; // nothing while not running
};

} // namespace velmora
