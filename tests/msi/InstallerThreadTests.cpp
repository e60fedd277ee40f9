#include "msi/InstallerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace velmora;

TEST(InstallerThread, RunsEveryJobOnItsOneThreadAndReturnsTheResult) {
    TInstallerThread thread;
    EXPECT_FALSE(thread.IsCurrent());
    auto first = thread.Run([&] {
        EXPECT_TRUE(thread.IsCurrent());
        return std::this_thread::get_id();
    });
    auto second = thread.Run([] { return std::this_thread::get_id(); });
    EXPECT_NE(first, std::this_thread::get_id());
    EXPECT_EQ(first, second);
    EXPECT_EQ(thread.Run([] { return std::wstring(L"value"); }), L"value");
}

TEST(InstallerThread, ErrorsReachTheCallerAndTheThreadGoesOn) {
    TInstallerThread thread;
    try {
        thread.Run([]() -> int { throw EMsiError(SMsiOpenView, 1615); });
        FAIL() << "no exception";
    } catch (const EMsiError& e) {
        EXPECT_EQ(e.Code(), 1615u);
        EXPECT_EQ(e.Message(), MsiErrorText(SMsiOpenView, 1615));
    }
    EXPECT_EQ(thread.Run([] { return 7; }), 7);
}

TEST(InstallerThread, ARunFromTheThreadItselfRunsAtOnce) {
    TInstallerThread thread;
    int inner = thread.Run([&] { return thread.Run([] { return 5; }) + 1; });
    EXPECT_EQ(inner, 6);
    bool ran = false;
    EXPECT_TRUE(thread.Run([&] { return thread.TryRun([&] { ran = true; }); }));
    EXPECT_TRUE(ran);
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
                    if (busy.fetch_add(1) != 0)
                        overlapped = true;
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
    std::thread caller([&] { thread.Run([&] { order.push_back(1); }); });
    caller.join();
    thread.Stop([&] { order.push_back(2); });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(thread.Stopped());

    bool ran = false;
    EXPECT_FALSE(thread.TryRun([&] { ran = true; }));
    EXPECT_FALSE(ran);
    try {
        thread.Run([&] { ran = true; });
        FAIL() << "no exception";
    } catch (const EMsiError& e) {
        EXPECT_EQ(e.Message(), MsiErrorText(SMsiEngineFreed, MSI_ERROR_INVALID_HANDLE));
    }
    EXPECT_FALSE(ran);
    thread.Stop(); // a second stop is harmless
}
