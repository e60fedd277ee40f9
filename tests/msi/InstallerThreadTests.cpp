#include "msi/InstallerThread.h"
#include "tests/TestBase.h"

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

TEST(InstallerThread, StopRunsQueuedJobsThenTheLastOneThenRefusesWork) {
    const int threadsBefore = LibraryThreadsNotJoined();
    TInstallerThread thread;
    EXPECT_EQ(LibraryThreadsNotJoined(), threadsBefore + 1) << "one of the library's threads";
    std::vector<int> order;
    std::thread([&] { thread.Run([&] { order.push_back(1); }); }).join();
    thread.Stop([&] { order.push_back(2); });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(thread.Stopped());
    EXPECT_EQ(LibraryThreadsNotJoined(), threadsBefore) << "ended and joined by the stop";
    bool ran = false;
    EXPECT_FALSE(thread.TryRun([&] { ran = true; }));
    EXPECT_THROW(thread.Run([&] { ran = true; }), EMsiError);
    EXPECT_FALSE(ran);
    thread.Stop(); // a second stop is harmless
}
