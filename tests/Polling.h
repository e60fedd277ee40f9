#pragma once
// Waiting in a test for what another thread or process does.
#include <chrono>
#include <thread>

namespace velmora::testing {

// Polls the condition every 10 ms until it holds or the limit passes; whether
// it held.
template <class Condition>
bool WaitUntil(Condition&& condition, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace velmora::testing
