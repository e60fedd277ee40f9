#include "platform/Thread.h"

#include <chrono>

namespace velmora {

namespace {
thread_local TThread* tCurrent = nullptr;
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
    FThread = std::thread([this] { Run(); });
}

void TThread::Run() {
    tCurrent = this;
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
    tCurrent = nullptr;
    bool selfFree;
    {
        std::lock_guard lock(FMutex);
        FFinished = true;
        selfFree = FDetached;
    }
    FWake.notify_all();
    if (selfFree) {
        FThread.detach();
        delete this;
    }
}

void TThread::Terminate() {
    {
        std::lock_guard lock(FMutex);
        FTerminated = true;
    }
    FWake.notify_all();
}

void TThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id())
        FThread.join();
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
    return tCurrent;
}

void TThread::CheckTerminated() {
    if (tCurrent && tCurrent->Terminated())
        throw EAbort();
}

} // namespace velmora
