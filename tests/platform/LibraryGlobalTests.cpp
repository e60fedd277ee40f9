#include "platform/LibraryGlobal.h"
#include "tests/TestBase.h"

#include <future>

using namespace velmora;

namespace {

struct TTracked {
    explicit TTracked(bool* destroyed) : Destroyed(destroyed) {}
    ~TTracked() { *Destroyed = true; }
    bool* Destroyed;
};

struct THanded : TLiveCount<THanded> {};

// Whether a holder torn down now destroys what it holds.
bool TeardownDestroys() {
    bool destroyed = false;
    { TLibraryGlobal<TTracked> holder(&destroyed); }
    return destroyed;
}

} // namespace

// State still used by a counted object or by one of the library's threads is
// left as it is at teardown; unused state is destroyed.
TEST(LibraryGlobal, TeardownLeavesStateInUseAndDestroysTheRest) {
    ASSERT_TRUE(velmora::testing::WaitUntil([] { return LibraryThreadCount() == 0; }));
    EXPECT_TRUE(TeardownDestroys());
    {
        THanded handed;
        EXPECT_FALSE(TeardownDestroys()) << "an object is still handed out";
    }
    std::promise<void> release;
    TLibraryThread thread([gate = release.get_future().share()] { gate.wait(); });
    EXPECT_FALSE(TeardownDestroys()) << "a thread has not been joined";
    release.set_value();
    thread.Join();
    EXPECT_TRUE(TeardownDestroys());
}
