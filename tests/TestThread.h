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

    // The body ended with the silent abort, or with an error that reached the handler.
    std::atomic<bool> Aborted{false}, Failed{false};

protected:
    void Execute() override {
        try {
            FBody();
        } catch (const EAbort&) {
            Aborted = true;
            throw;
        }
    }

    void HandleError(std::exception_ptr) override { Failed = true; }

private:
    std::function<void()> FBody;
};

// Runs body on a thread asked to stop before it starts; whether the body
// ended with the silent abort.
inline bool AbortsWhenStopped(std::function<void()> body) {
    TFunctionThread thread(std::move(body));
    thread.Terminate();
    thread.Start();
    thread.WaitFor();
    return thread.Aborted;
}

} // namespace velmora::testing
