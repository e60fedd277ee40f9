#pragma once
// The one thread on which the installer engine creates, uses and closes its
// installer handles. Windows wants a handle closed on the thread that created
// it, and MsiCloseAllHandles only sees the handles of its calling thread, while
// the engine is shared by the reading thread and every forced-removal worker.
// Running each handle operation here also serialises them.
#include "msi/MsiError.h"
#include "platform/Thread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace velmora {

class TInstallerThread {
public:
    TInstallerThread();
    // Stops the thread (see Stop).
    ~TInstallerThread();
    TInstallerThread(const TInstallerThread&) = delete;
    TInstallerThread& operator=(const TInstallerThread&) = delete;

    // Runs job on the thread and waits for it; its result or exception passes
    // to the caller. Called on the thread itself, runs job directly. Once the
    // thread is stopped raises EMsiError (invalid handle).
    template <class F> std::invoke_result_t<F&> Run(F&& job) {
        using R = std::invoke_result_t<F&>;
        if (IsCurrent())
            return job();
        // Lives on the caller's stack; the thread only writes it before it
        // marks the call done, under the queue lock.
        struct {
            std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> Result{};
            std::exception_ptr Error;
            bool Done = false;
        } call;
        bool queued = Post(
            [&] {
                try {
                    if constexpr (std::is_void_v<R>)
                        job();
                    else
                        call.Result.emplace(job());
                } catch (...) {
                    call.Error = std::current_exception();
                }
            },
            &call.Done);
        if (!queued)
            throw EMsiError(SMsiEngineFreed, MSI_ERROR_INVALID_HANDLE);
        WaitFor(call.Done);
        if (call.Error)
            std::rethrow_exception(call.Error);
        if constexpr (!std::is_void_v<R>)
            return std::move(*call.Result);
    }

    // For clean-up: runs job as Run does; false (job not run) once stopped.
    bool TryRun(const std::function<void()>& job) noexcept;

    // Runs last (which must not throw) as the final job, then ends the thread
    // and waits for it. Jobs queued before run first; later ones are refused.
    // Never call it on the thread itself.
    void Stop(std::function<void()> last = {});

    bool IsCurrent() const { return std::this_thread::get_id() == FId; }
    bool Stopped();

private:
    struct TJob {
        std::function<void()> Body; // empty: the end mark
        bool* Done = nullptr;       // set under FLock once Body has run
    };

    bool Post(std::function<void()> body, bool* done);
    void WaitFor(const bool& done);
    void Execute();

    std::mutex FLock;
    std::condition_variable FWake;     // jobs queued
    std::condition_variable FFinished; // a job done
    std::deque<TJob> FJobs;
    bool FStopping = false;
    TLibraryThread FThread;
    std::thread::id FId;
};

} // namespace velmora
