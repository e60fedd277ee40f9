#include "msi/InstallerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace velmora;

TEST(InstallerThread, RunsEveryJobOnItsOneThreadPassesErrorsAndRunsNestedJobsAtOnce) {
    TInstallerThread thread;
    EXPECT_FALSE(thread.IsCurrent());
    auto first = thread.Run([&] {
        EXPECT_TRUE(thread.IsCurrent());
        return std::this_thread::get_id();
    });
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_EQ(thread.Run([] { return std::this_thread::get_id(); }), first);
    EXPECT_EQ(thread.Run([&] { return thread.Run([] { return 5; }) + 1; }), 6);
    bool ran = false;
    EXPECT_TRUE(thread.Run([&] { return thread.TryRun([&] { ran = true; }); }));
    EXPECT_TRUE(ran);
    EXPECT_THROW(thread.Run([]() -> int { throw EMsiError(SMsiOpenView, 1615); }), EMsiError);
    EXPECT_EQ(thread.Run([] { return 7; }), 7);
}

TEST(InstallerThread, JobsFromManyThreadsRunOneAtATime) {
    TInstallerThread thread;
    int counter = 0; // deliberately not atomic: only the installer thread touches it
    std::atomic<int> busy{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> callers;
    for (int t = 0; t < 6; ++t)
        callers.emplace_back([&] {
            for (int i = 0; i < 500; ++i)
                thread.Run([&] {
                    overlapped = overlapped || busy.fetch_add(1) != 0;
                    ++counter;
                    busy.fetch_sub(1);
                });
        });
    for (auto& caller : callers)
        caller.join();
    EXPECT_EQ(thread.Run([&] { return counter; }), 3000);
    EXPECT_FALSE(overlapped);
}

TEST(InstallerThread, StopRunsQueuedJobsThenTheLastOneThenRefusesWork) {
    TInstallerThread thread;
    std::vector<int> order;
    std::thread([&] { thread.Run([&] { order.push_back(1); }); }).join();
    thread.Stop([&] { order.push_back(2); });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(thread.Stopped());
    bool ran = false;
    EXPECT_FALSE(thread.TryRun([&] { ran = true; }));
    EXPECT_THROW(thread.Run([&] { ran = true; }), EMsiError);
    EXPECT_FALSE(ran);
    thread.Stop(); // a second stop is harmless
}
