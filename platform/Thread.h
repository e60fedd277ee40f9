#pragma once
// The runtime thread class: a terminate flag, sleeps that end early with the
// silent abort, a destructor that terminates and waits, and self-freeing
// threads once detached. Every thread the library starts is counted until it
// has been joined, that is until it has left the library's code.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora {

// Raised at cancellation points when a stop was requested; thread bodies end
// quietly on it, it is never logged as an error.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

enum class TThreadPriority { Idle, Lowest, Lower, Normal };

// An OS thread of the library's own. It counts as running from its start
// until it has been joined. One that is still joinable when this object goes
// (a thread that frees its own object on its way out) is handed to the
// library for a later join and keeps counting until then.
class TLibraryThread {
public:
    TLibraryThread() = default;
    explicit TLibraryThread(std::function<void()> body);
    TLibraryThread(TLibraryThread&& other) noexcept = default;
    TLibraryThread& operator=(TLibraryThread&& other) noexcept;
    ~TLibraryThread();

    bool Joinable() const { return FThread.joinable(); }
    std::thread::id Id() const { return FThread.get_id(); }
    void Join();

private:
    void Release() noexcept;
    std::thread FThread;
};

// The library's threads not yet joined. Joins first the threads that were
// handed over on their way out (each has finished its work and only leaves),
// except the calling one. The library may be unloaded only when this is 0.
int LibraryThreadCount();
// The same count without joining anything (for static teardown, when the
// threads of the process may have been stopped where they stood).
int LibraryThreadsNotJoined();

class TThread {
public:
    TThread();
    // Terminates and waits. A derived class whose Execute uses its own members
    // calls TerminateAndWait() in its own destructor first.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    bool Started() const { return FStarted; }
    bool Finished() const { return FFinished.load(); }
    void WaitFor();
    void TerminateAndWait();
    // The object frees itself once its body has ended (at once if it already has).
    void Detach();

    void SetPriority(TThreadPriority priority) { FPriority = priority; }
    // Runs on the thread after Execute, also after an error or an abort.
    void SetOnTerminate(std::function<void()> handler);

    // Sleeps up to ms milliseconds; returns early when terminated.
    void SleepBy(uint32_t ms);
    // As SleepBy, then raises EAbort if termination was requested.
    void SleepByAndCheck(uint32_t ms);

    // Sleeps ms milliseconds on any thread; on a TThread like SleepByAndCheck.
    static void SleepAndCheck(uint32_t ms);

    // The thread object whose body runs on the calling thread, or nullptr.
    static TThread* Current();
    // Raises EAbort when the calling thread is a TThread asked to terminate.
    static void CheckTerminated();

protected:
    virtual void Execute() = 0;
    // Called with an exception other than EAbort that escaped Execute.
    virtual void HandleError(std::exception_ptr) {}

private:
    void Run();

    TLibraryThread FThread;
    std::mutex FMutex;
    std::condition_variable FWake;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    bool FStarted = false;
    bool FDetached = false;
    TThreadPriority FPriority = TThreadPriority::Normal;
    std::function<void()> FOnTerminate;
};

// Applies a priority to the calling thread (a no-op where the OS has none to set).
void SetCurrentThreadPriority(TThreadPriority priority);

} // namespace velmora
