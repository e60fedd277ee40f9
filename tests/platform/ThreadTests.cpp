#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

using namespace velmora;
using namespace std::chrono;

namespace {

class TLambdaThread : public TThread {
public:
    explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : FBody(std::move(body)) {}
    ~TLambdaThread() override { TerminateAndWait(); }
    std::atomic<bool> Failed{false};

protected:
    void Execute() override { FBody(*this); }
    void HandleError(std::exception_ptr) override { Failed = true; }

private:
    std::function<void(TLambdaThread&)> FBody;
};

} // namespace

TEST(Thread, DestructorTerminatesASleepingBodyPromptly) {
    std::atomic<bool> aborted{false};
    auto start = steady_clock::now();
    {
        TLambdaThread thread([&](TLambdaThread& self) {
            try {
                self.SleepByAndCheck(60'000);
            } catch (const EAbort&) {
                aborted = true;
                throw;
            }
        });
        thread.Start();
        std::this_thread::sleep_for(milliseconds(20));
    }
    EXPECT_TRUE(aborted);
    EXPECT_LT(steady_clock::now() - start, seconds(10));
}

TEST(Thread, CheckTerminatedFindsTheCallingThreadObject) {
    EXPECT_EQ(TThread::Current(), nullptr);
    EXPECT_NO_THROW(TThread::CheckTerminated());

    std::promise<TThread*> seen;
    std::atomic<bool> raised{false};
    TLambdaThread thread([&](TLambdaThread& self) {
        seen.set_value(TThread::Current());
        while (!self.Terminated())
            std::this_thread::sleep_for(milliseconds(1));
        try {
            TThread::CheckTerminated();
        } catch (const EAbort&) {
            raised = true;
        }
    });
    thread.Start();
    EXPECT_EQ(seen.get_future().get(), &thread);
    thread.TerminateAndWait();
    EXPECT_TRUE(raised);
    EXPECT_TRUE(thread.Finished());
    EXPECT_FALSE(thread.Failed);
}

TEST(Thread, ErrorsReachHandlerAndTerminationCallbackAlwaysRuns) {
    std::atomic<int> callbacks{0};
    TLambdaThread failing([](TLambdaThread&) { throw std::runtime_error("boom"); });
    failing.SetOnTerminate([&] { ++callbacks; });
    failing.Start();
    failing.WaitFor();
    EXPECT_TRUE(failing.Failed);

    TLambdaThread aborting([](TLambdaThread&) { throw EAbort(); });
    aborting.SetOnTerminate([&] { ++callbacks; });
    aborting.Start();
    aborting.WaitFor();
    EXPECT_FALSE(aborting.Failed);
    EXPECT_EQ(callbacks, 2);
}

TEST(Thread, DetachedThreadFreesItselfWhetherFinishedOrNot) {
    static std::atomic<int> destroyed{0};
    struct TCounted : TLambdaThread {
        using TLambdaThread::TLambdaThread;
        ~TCounted() override { ++destroyed; }
    };
    std::promise<void> release;
    auto gate = release.get_future().share();
    auto* running = new TCounted([gate](TLambdaThread&) { gate.wait(); });
    running->Start();
    running->Detach();
    auto* finished = new TCounted([](TLambdaThread&) {});
    finished->Start();
    finished->WaitFor();
    finished->Detach();
    EXPECT_EQ(destroyed, 1);
    release.set_value();
    for (int i = 0; i < 500 && destroyed < 2; ++i)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_EQ(destroyed, 2);
}

TEST(Thread, SleepByReturnsAfterTheTimeWithoutTermination) {
    TLambdaThread thread([](TLambdaThread& self) { self.SleepByAndCheck(10); });
    thread.Start();
    thread.WaitFor();
    EXPECT_FALSE(thread.Failed);
    EXPECT_TRUE(thread.Finished());
}
