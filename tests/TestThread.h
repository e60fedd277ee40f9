#pragma once
// A runtime thread running a function, for tests of what a stop request does
// to work on a reading thread.
#include "platform/Thread.h"

#include <atomic>
#include <functional>

namespace velmora::testing {

class TFunctionThread : public TThread {
public:
    explicit TFunctionThread(std::function<void()> body) : FBody(std::move(body)) {}
    ~TFunctionThread() override { TerminateAndWait(); }

    // The body ended with the silent abort.
    std::atomic<bool> Aborted{false};

protected:
    void Execute() override {
        try {
            FBody();
        } catch (const EAbort&) {
            Aborted = true;
            throw;
        }
    }

private:
    std::function<void()> FBody;
};

} // namespace velmora::testing
