#include "msi/InstallerThread.h"

namespace velmora {

TInstallerThread::TInstallerThread() {
    FThread = TLibraryThread([this] { Execute(); });
    FId = FThread.Id();
}

TInstallerThread::~TInstallerThread() {
    Stop();
}

bool TInstallerThread::Post(std::function<void()> body, bool* done) {
    {
        std::lock_guard lock(FLock);
        if (FStopping)
            return false;
        FJobs.push_back({std::move(body), done});
    }
    FWake.notify_one();
    return true;
}

void TInstallerThread::WaitFor(const bool& done) {
    std::unique_lock lock(FLock);
    FFinished.wait(lock, [&] { return done; });
}

bool TInstallerThread::TryRun(const std::function<void()>& job) noexcept {
    try {
        Run(job);
        return true;
    } catch (...) {
        // Stopped, or out of memory while queuing: the handle is left alone
        // rather than closed on a thread that does not own it.
        return false;
    }
}

void TInstallerThread::Stop(std::function<void()> last) {
    {
        std::lock_guard lock(FLock);
        if (FStopping)
            return;
        if (last)
            FJobs.push_back({std::move(last), nullptr});
        FJobs.push_back({}); // the end mark
        FStopping = true;
    }
    FWake.notify_one();
    FThread.Join();
}

bool TInstallerThread::Stopped() {
    std::lock_guard lock(FLock);
    return FStopping;
}

void TInstallerThread::Execute() {
    for (;;) {
        TJob job;
        {
            std::unique_lock lock(FLock);
            FWake.wait(lock, [this] { return !FJobs.empty(); });
            job = std::move(FJobs.front());
            FJobs.pop_front();
        }
        if (!job.Body)
            return;
        job.Body();
        job.Body = nullptr; // its captures may refer to the caller's frame
        if (job.Done) {
            {
                std::lock_guard lock(FLock);
                *job.Done = true;
            }
            FFinished.notify_all();
        }
    }
}

} // namespace velmora
