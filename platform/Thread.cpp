#include "platform/Thread.h"

#include <chrono>
#include <vector>

namespace velmora {

namespace {

thread_local TThread* tCurrentThread = nullptr;

// Never destroyed: threads leave, and are counted, until the process ends.
struct TThreadRegistry {
    std::atomic<int> NotJoined{0};
    std::mutex Lock;
    // Threads handed over on their way out, waiting for their join.
    std::vector<std::thread> Leaving;
};

TThreadRegistry& Threads() {
    static auto* registry = new TThreadRegistry;
    return *registry;
}

// A thread that was handed over has finished its work: the join only waits
// for it to leave. The calling thread's own entry waits for another caller.
void JoinLeavingThreads() {
    auto& registry = Threads();
    std::vector<std::thread> leaving;
    {
        std::lock_guard lock(registry.Lock);
        for (auto it = registry.Leaving.begin(); it != registry.Leaving.end();) {
            if (it->get_id() == std::this_thread::get_id()) {
                ++it;
                continue;
            }
            leaving.push_back(std::move(*it));
            it = registry.Leaving.erase(it);
        }
        if (registry.Leaving.empty())
            std::vector<std::thread>().swap(registry.Leaving);
    }
    for (auto& thread : leaving) {
        thread.join();
        registry.NotJoined.fetch_sub(1);
    }
}

} // namespace

TLibraryThread::TLibraryThread(std::function<void()> body) {
    // Also where the threads that left meanwhile are joined, so that they do
    // not pile up in a process that never asks for the count.
    JoinLeavingThreads();
    Threads().NotJoined.fetch_add(1);
    try {
        FThread = std::thread(std::move(body));
    } catch (...) {
        Threads().NotJoined.fetch_sub(1);
        throw;
    }
}

TLibraryThread& TLibraryThread::operator=(TLibraryThread&& other) noexcept {
    if (this != &other) {
        Release();
        FThread = std::move(other.FThread);
    }
    return *this;
}

TLibraryThread::~TLibraryThread() {
    Release();
}

void TLibraryThread::Join() {
    if (!FThread.joinable())
        return;
    FThread.join();
    Threads().NotJoined.fetch_sub(1);
}

void TLibraryThread::Release() noexcept {
    if (!FThread.joinable())
        return;
    auto& registry = Threads();
    std::lock_guard lock(registry.Lock);
    try {
        registry.Leaving.push_back(std::move(FThread));
    } catch (...) {
        // Without room to keep it, it can never be joined: it stays counted,
        // and the library is never reported unloadable.
        FThread.detach();
    }
}

int LibraryThreadCount() {
    JoinLeavingThreads();
    return Threads().NotJoined.load();
}

int LibraryThreadsNotJoined() {
    return Threads().NotJoined.load();
}

TThread::TThread() = default;

TThread::~TThread() {
    TerminateAndWait();
}

void TThread::Start() {
    std::lock_guard lock(FMutex);
    if (FStarted)
        return;
    FStarted = true;
    FThread = TLibraryThread([this] { Run(); });
}

void TThread::Run() {
    tCurrentThread = this;
    SetCurrentThreadPriority(FPriority);
    try {
        Execute();
    } catch (const EAbort&) {
    } catch (...) {
        HandleError(std::current_exception());
    }
    std::function<void()> onTerminate;
    {
        std::lock_guard lock(FMutex);
        onTerminate = FOnTerminate;
    }
    if (onTerminate) {
        try {
            onTerminate();
        } catch (...) {
        }
    }
    tCurrentThread = nullptr;
    bool selfFree;
    {
        std::lock_guard lock(FMutex);
        FFinished = true;
        selfFree = FDetached;
    }
    FWake.notify_all();
    // The object goes now; the thread itself is handed over and counts until
    // it has been joined.
    if (selfFree)
        delete this;
}

void TThread::Terminate() {
    {
        std::lock_guard lock(FMutex);
        FTerminated = true;
    }
    FWake.notify_all();
}

void TThread::WaitFor() {
    if (FThread.Joinable() && FThread.Id() != std::this_thread::get_id())
        FThread.Join();
}

void TThread::TerminateAndWait() {
    Terminate();
    WaitFor();
}

void TThread::Detach() {
    bool finished;
    {
        std::lock_guard lock(FMutex);
        finished = FFinished || !FStarted;
        FDetached = true;
    }
    if (finished) {
        WaitFor();
        delete this;
    }
}

void TThread::SetOnTerminate(std::function<void()> handler) {
    std::lock_guard lock(FMutex);
    FOnTerminate = std::move(handler);
}

void TThread::SleepBy(uint32_t ms) {
    std::unique_lock lock(FMutex);
    FWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FTerminated.load(); });
}

void TThread::SleepByAndCheck(uint32_t ms) {
    SleepBy(ms);
    if (Terminated())
        throw EAbort();
}

void TThread::SleepAndCheck(uint32_t ms) {
    if (TThread* current = Current())
        current->SleepByAndCheck(ms);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TThread* TThread::Current() {
    return tCurrentThread;
}

void TThread::CheckTerminated() {
    if (tCurrentThread && tCurrentThread->Terminated())
        throw EAbort();
}

} // namespace velmora
