#include "platform/Thread.h"

#include "tests/TestThread.h"
#include "tests/TestBase.h"

#include <future>

using namespace velmora;
using namespace std::chrono;
using velmora::testing::TFunctionThread;

TEST(Thread, DestructorEndsASleepingBodyWithTheAbortFoundThroughTheCallingThread) {
    EXPECT_EQ(TThread::Current(), nullptr);
    EXPECT_NO_THROW(TThread::CheckTerminated());
    std::promise<TThread*> seen;
    std::atomic<bool> aborted{false};
    auto start = steady_clock::now();
    {
        TFunctionThread thread([&] {
            seen.set_value(TThread::Current());
            try {
                TThread::Current()->SleepByAndCheck(60'000);
            } catch (const EAbort&) {
                EXPECT_THROW(TThread::CheckTerminated(), EAbort);
                aborted = true;
                throw;
            }
        });
        thread.Start();
        EXPECT_EQ(seen.get_future().get(), &thread);
    }
    EXPECT_TRUE(aborted);
    EXPECT_LT(steady_clock::now() - start, seconds(10));
}

TEST(Thread, ErrorsReachTheHandlerButAbortDoesNotAndTheCallbackAlwaysRuns) {
    const struct {
        const char* Name;
        std::function<void()> Body;
        bool Fails;
    } cases[] = {
        {"error", [] { throw std::runtime_error("boom"); }, true},
        {"abort", [] { throw EAbort(); }, false},
    };
    for (const auto& c : cases) {
        std::atomic<int> callbacks{0};
        TFunctionThread thread(c.Body);
        thread.SetOnTerminate([&] { ++callbacks; });
        thread.Start();
        thread.WaitFor();
        EXPECT_EQ(thread.Failed, c.Fails) << c.Name;
        EXPECT_TRUE(thread.Finished()) << c.Name;
        EXPECT_EQ(callbacks, 1) << c.Name;
    }
}

// The wait of code that runs on any thread: a stop request of a runtime
// thread ends it at once; elsewhere it is a plain sleep.
TEST(Thread, SleepOnAnyThreadEndsWithTheAbortOnAThreadAskedToStop) {
    auto start = steady_clock::now();
    EXPECT_TRUE(velmora::testing::AbortsWhenStopped([] { TThread::SleepAndCheck(600'000); }));
    EXPECT_LT(steady_clock::now() - start, seconds(60));

    start = steady_clock::now();
    EXPECT_NO_THROW(TThread::SleepAndCheck(20));
    EXPECT_GE(steady_clock::now() - start, milliseconds(20));
}

// A detached thread frees its object, at once when it has finished. The
// thread of an object that freed itself still runs the library's code on its
// way out (thread-local clean-up among it): it counts until it has been
// joined, and the count joins it.
TEST(Thread, ADetachedThreadFreesItselfAndCountsUntilItHasLeft) {
    ASSERT_TRUE(velmora::testing::WaitUntil([] { return LibraryThreadCount() == 0; }));
    static std::atomic<int> destroyed{0};
    struct TCounted : TFunctionThread {
        using TFunctionThread::TFunctionThread;
        ~TCounted() override { ++destroyed; }
    };
    auto* finished = new TCounted([] {});
    finished->Start();
    finished->WaitFor();
    finished->Detach();
    EXPECT_EQ(destroyed, 1);

    struct TLeaving {
        std::atomic<bool>* Left;
        ~TLeaving() {
            std::this_thread::sleep_for(milliseconds(200));
            *Left = true;
        }
    };
    std::atomic<bool> left{false};
    std::promise<void> release;
    auto gate = release.get_future().share();
    auto* thread = new TCounted([&left, gate] {
        thread_local TLeaving leaving{&left};
        gate.wait();
    });
    thread->Start();
    thread->Detach();
    EXPECT_EQ(LibraryThreadCount(), 1);
    release.set_value();
    ASSERT_TRUE(velmora::testing::WaitUntil([] { return LibraryThreadCount() == 0; }));
    EXPECT_TRUE(left) << "counted as gone while still on its way out";
    EXPECT_EQ(destroyed, 2);

    // A thread joined by its owner stops counting at the join.
    TFunctionThread owned([] { TThread::Current()->SleepBy(60'000); });
    owned.Start();
    EXPECT_EQ(LibraryThreadsNotJoined(), 1);
    owned.TerminateAndWait();
    EXPECT_EQ(LibraryThreadsNotJoined(), 0);
}
